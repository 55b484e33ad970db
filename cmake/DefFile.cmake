# preprocess_def(<output> <file.def.in> [DEPENDS <header>...])
#
# A .def file made by the target's C preprocessor from a template, in the
# current binary folder. The template's lines for one architecture sit under
# `#if defined(_WIN64)`, and names shared with C++ code come from a header,
# so that no .def file keeps a copy of its own. Comments in a template are C
# comments: ';' comments would reach the preprocessor as text.
function(preprocess_def output template)
    cmake_parse_arguments(D "" "" "DEPENDS" ${ARGN})
    get_filename_component(input ${template} ABSOLUTE)
    add_custom_command(
        OUTPUT ${output}
        COMMAND ${CMAKE_C_COMPILER} -E -P -x c -I${PROJECT_SOURCE_DIR} -o ${output} ${input}
        DEPENDS ${input} ${D_DEPENDS}
        COMMENT "Exports ${output}"
        VERBATIM)
endfunction()
