# add_import_library(<target> DEF <file.def>)
#
# An import library made by dlltool from a .def file, as an INTERFACE target
# to link against. ld's own import libraries cannot serve decorated export
# names such as "_GetCode@4" (they would need "__GetCode@4" in the importer),
# nor a DLL built by another compiler, such as the vendor's receiver library.
function(add_import_library target)
    cmake_parse_arguments(I "" "DEF" "" ${ARGN})
    get_filename_component(def ${I_DEF} ABSOLUTE)
    set(library ${CMAKE_ARCHIVE_OUTPUT_DIRECTORY}/lib${target}.a)
    add_custom_command(
        OUTPUT ${library}
        COMMAND ${CMAKE_DLLTOOL} -d ${def} -l ${library} --no-leading-underscore
        DEPENDS ${def}
        COMMENT "Import library ${target} from ${I_DEF}")
    add_custom_target(${target}_implib DEPENDS ${library})
    add_library(${target} INTERFACE)
    add_dependencies(${target} ${target}_implib)
    target_link_libraries(${target} INTERFACE ${library})
endfunction()
