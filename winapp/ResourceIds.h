#pragma once

// Numbers of the program's own resources, shared by bulkon.rc and the code.

// The program icon (16, 24 and 32 pixels).
#define IDI_BULKON 1
// The busy clip for the animation control.
#define IDR_BUSY_CLIP 152
// The same clip for screens at 150 % and 200 %.
#define IDR_BUSY_CLIP_150 153
#define IDR_BUSY_CLIP_200 154
