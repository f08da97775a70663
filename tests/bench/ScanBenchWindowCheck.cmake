# Runs scan_bench --window and checks what it prints.
#   -DSCAN_BENCH=<program> -DWORK=<folder, made and removed here> -DWITH_QT=<ON|OFF>
# With Qt: over a small generated tree the window's scan must count exactly the tree's
# files, print its threads first and the gap figure after the ratio and list 100 files, every one inside the
# tree. Without Qt: the mode must say that it is unavailable and exit with 2, not time
# anything.
if(NOT WITH_QT)
    execute_process(COMMAND "${SCAN_BENCH}" --window "${CMAKE_CURRENT_LIST_DIR}"
        OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
    if(NOT rc EQUAL 2 OR NOT err MATCHES "BULKON_WITH_QT" OR NOT out STREQUAL "")
        message(FATAL_ERROR "expected exit status 2 and a message, got ${rc}:\n${out}${err}")
    endif()
    return()
endif()

set(files 500)
file(REMOVE_RECURSE "${WORK}")
execute_process(COMMAND "${SCAN_BENCH}" --window --make ${files} --runs 1 "${WORK}"
    OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
file(REMOVE_RECURSE "${WORK}")
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "scan_bench --window failed with ${rc}:\n${err}")
endif()
set(number "[0-9]+\\.[0-9]+")
if(NOT out MATCHES "^threads [0-9]+\nfiles ${files}\nengine_ms ${number}\nplain_ms ${number}\nratio ${number}\nmax_gap_ms ${number}\n")
    message(FATAL_ERROR "unexpected figures:\n${out}")
endif()
# Lines are counted by their line feeds: file names may hold list separators.
string(REGEX REPLACE "[^\n]" "" feeds "${out}")
string(LENGTH "${feeds}" lines)
math(EXPR listed "${lines} - 6")
string(REPLACE "\t${WORK}/" "" outside "${out}")
string(LENGTH "${out}" withPaths)
string(LENGTH "${outside}" withoutPaths)
string(LENGTH "\t${WORK}/" prefix)
math(EXPR inside "(${withPaths} - ${withoutPaths}) / ${prefix}")
if(NOT listed EQUAL 100 OR NOT inside EQUAL 100)
    message(FATAL_ERROR "expected 100 listed files inside ${WORK}, got ${listed} lines, "
                        "${inside} inside:\n${out}")
endif()
