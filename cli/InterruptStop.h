#pragma once

// While it lives, Ctrl+C (SIGINT) stops the running scan as the window's Stop does: the
// first one sets StopRequested, and from then on the signal's default action is back, so
// that a second Ctrl+C ends a program that no longer responds. The handler that was there
// before is put back at the end; a signal that was ignored stays ignored.
class InterruptStop {
public:
    InterruptStop();
    ~InterruptStop();
    InterruptStop(const InterruptStop&) = delete;
    InterruptStop& operator=(const InterruptStop&) = delete;

private:
    using Handler = void (*)(int);
    Handler previous_;
};
