# cmake -DREADME=... -DMARKDOWN=... -DPICTURE=... -DPICTURE_NAME=... -DOUTPUT=... -P MakeGuide.cmake
#
# The user guide that ships: the parts of the README between the lines
# "<!-- guide -->" and "<!-- end of guide -->" (each a line of its own, so
# that the README may name them in its text), as one HTML page, which
# Windows opens with a double click. The README stays the one text to edit;
# its developer half, the build and the tests, stays out. The picture's
# link points beside the page, where the package puts the picture under
# PICTURE_NAME.
cmake_minimum_required(VERSION 3.25)

foreach(var README MARKDOWN PICTURE PICTURE_NAME OUTPUT)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "MakeGuide.cmake: ${var} is not set")
    endif()
endforeach()

set(begin_marker "\n<!-- guide -->\n")
set(end_marker "\n<!-- end of guide -->\n")
file(READ ${README} rest)
string(REPLACE "\r\n" "\n" rest "\n${rest}")
set(guide "")
while(TRUE)
    string(FIND "${rest}" "${begin_marker}" begin)
    if(begin EQUAL -1)
        break()
    endif()
    string(LENGTH "${begin_marker}" length)
    math(EXPR begin "${begin} + ${length}")
    string(SUBSTRING "${rest}" ${begin} -1 rest)
    string(FIND "${rest}" "${end_marker}" end)
    if(end EQUAL -1)
        message(FATAL_ERROR "${README}: a \"${begin_marker}\" has no \"${end_marker}\" after it")
    endif()
    string(SUBSTRING "${rest}" 0 ${end} part)
    string(APPEND guide "${part}\n")
    string(LENGTH "${end_marker}" length)
    math(EXPR end "${end} + ${length}")
    string(SUBSTRING "${rest}" ${end} -1 rest)
endwhile()
if(guide STREQUAL "")
    message(FATAL_ERROR "${README} marks no part as the guide with \"${begin_marker}\"")
endif()

# A guide without its picture, or with a link to a file the package lacks,
# would ship silently: the link must be there to be pointed beside the page.
string(FIND "${guide}" "](${PICTURE})" link)
if(link EQUAL -1)
    message(FATAL_ERROR "the guide in ${README} has no link to ${PICTURE}")
endif()
string(REPLACE "](${PICTURE})" "](${PICTURE_NAME})" guide "${guide}")

set(markdown_file ${OUTPUT}.md)
file(WRITE ${markdown_file} "${guide}")
# tables for the README's tables, toc for the headings' anchors, named as
# the README's own links to them are.
execute_process(
    COMMAND ${MARKDOWN} -e utf-8 -o html -x tables -x toc ${markdown_file}
    OUTPUT_VARIABLE body
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${MARKDOWN} failed on ${markdown_file}: ${result}")
endif()
file(REMOVE ${markdown_file})

string(REGEX MATCH "<h1[^>]*>([^<]*)</h1>" heading "${body}")
set(title "${CMAKE_MATCH_1}")
file(WRITE ${OUTPUT} "<!DOCTYPE html>
<html lang=\"en\">
<head>
<meta charset=\"utf-8\">
<title>${title}</title>
<style>
body { font-family: sans-serif; max-width: 52em; margin: 0 auto; padding: 0 1em 2em; line-height: 1.45; }
table { border-collapse: collapse; }
th, td { border: 1px solid #bbb; padding: 0.25em 0.5em; vertical-align: top; text-align: left; }
code, pre { background: #f3f3f3; }
pre { padding: 0.5em; overflow-x: auto; }
img { max-width: 100%; }
</style>
</head>
<body>
${body}
</body>
</html>
")
