# add_version_info(<target> DESCRIPTION <text>)
#
# Gives a DLL or program a version resource with the product name, the
# project's version and its own description. The file name comes from the
# target itself, so a renamed output stays right.
function(add_version_info target)
    cmake_parse_arguments(V "" "DESCRIPTION" "" ${ARGN})
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
        set(VERSION_FILE_TYPE VFT_APP)
    else()
        set(VERSION_FILE_TYPE VFT_DLL)
    endif()
    set(VERSION_DESCRIPTION "${V_DESCRIPTION}")
    set(VERSION_TARGET ${target})
    set(template ${CMAKE_CURRENT_BINARY_DIR}/${target}.version.rc.in)
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.version.rc)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/VersionInfo.rc.in ${template} @ONLY)
    # The second pass fills in the file names, which only the build knows.
    file(GENERATE OUTPUT ${rc} INPUT ${template})
    target_sources(${target} PRIVATE ${rc})
endfunction()
