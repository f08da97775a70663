# The program's version, written once in project(VERSION) and handed from here to the
# command line's --version, the Windows version resource and the packages.
#
#   bulkon_version   an interface library whose include folder holds
#                    BulkonVersion.h: BULKON_VERSION ("1.0.0") and its parts, as numbers
#                    for the Windows version resource;
#                    BulkonVersionText.h: BULKON_VERSION_TEXT, the version --version
#                    prints, with the commit added ("1.0.0+g1a2b3c4") when the source is a
#                    git checkout that is not at the version's tag "v1.0.0".
#
# The commit is looked up at every build, not only at configure time, so that --version
# does not go on naming a commit the program was built from long ago.
set(BULKON_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/BulkonVersion.h.in
               ${BULKON_GENERATED_DIR}/BulkonVersion.h @ONLY)

find_package(Git QUIET)
add_custom_target(bulkon_version_text
    COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DGIT=${GIT_EXECUTABLE}
            -DVERSION=${PROJECT_VERSION}
            -DOUTPUT=${BULKON_GENERATED_DIR}/BulkonVersionText.h
            -P ${CMAKE_CURRENT_LIST_DIR}/WriteVersionText.cmake
    BYPRODUCTS ${BULKON_GENERATED_DIR}/BulkonVersionText.h
    COMMENT "The version --version prints" VERBATIM)

add_library(bulkon_version INTERFACE)
target_include_directories(bulkon_version INTERFACE ${BULKON_GENERATED_DIR})
add_dependencies(bulkon_version bulkon_version_text)
