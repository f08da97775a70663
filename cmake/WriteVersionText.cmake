# Writes BulkonVersionText.h (see BulkonVersion.cmake): VERSION, with "+g" and the short
# commit when SOURCE_DIR is a git checkout whose HEAD is not tagged "v" VERSION. The file
# is rewritten only when its text changes, so that a build at the same commit compiles
# nothing again.
set(text ${VERSION})
if(GIT AND EXISTS ${SOURCE_DIR}/.git)
    execute_process(COMMAND ${GIT} -C ${SOURCE_DIR} describe --tags --exact-match
                            --match v${VERSION} HEAD
                    RESULT_VARIABLE at_tag OUTPUT_QUIET ERROR_QUIET)
    if(NOT at_tag EQUAL 0)
        execute_process(COMMAND ${GIT} -C ${SOURCE_DIR} rev-parse --short=7 HEAD
                        RESULT_VARIABLE found OUTPUT_VARIABLE commit
                        OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
        if(found EQUAL 0 AND commit)
            set(text "${VERSION}+g${commit}")
        endif()
    endif()
endif()
set(content "// Made by the build: the version --version prints.\n#pragma once\n\n#define BULKON_VERSION_TEXT \"${text}\"\n")
if(EXISTS ${OUTPUT})
    file(READ ${OUTPUT} old)
endif()
if(NOT old STREQUAL content)
    file(WRITE ${OUTPUT} "${content}")
endif()
