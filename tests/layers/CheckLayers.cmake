# Fails on an include that crosses a layer's line. Each folder of src/ may include only
# what lies below it: the engine (index, beside it scan and search) no Qt and nothing of
# the application, the store nothing of the windows, the windows (ui) of the engine only
# the highlighting, the shell no engine header at all.
#   cmake -DSOURCES=<src folder> -P CheckLayers.cmake
cmake_minimum_required(VERSION 3.25)
set(forbidden_index "^(Q|scan/|search/|store/|ui/|shell/|app/)")
set(forbidden_scan "^(Q|search/|store/|ui/|shell/|app/)")
set(forbidden_search "^(Q|scan/|store/|ui/|shell/|app/)")
set(forbidden_store "^(ui|shell|app)/")
set(forbidden_ui "^(index|scan|search|shell|app)/")
set(allowed_ui "search/Highlight.h")
set(forbidden_shell "^(index|scan|search|app)/")

set(crossings "")
foreach(layer index scan search store ui shell)
    file(GLOB files ${SOURCES}/${layer}/*.h ${SOURCES}/${layer}/*.cpp)
    foreach(file ${files})
        file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
        foreach(line ${lines})
            string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]*)[>\"].*" "\\1" header
                                 "${line}")
            if(header MATCHES "${forbidden_${layer}}" AND NOT header IN_LIST allowed_${layer})
                file(RELATIVE_PATH shown ${SOURCES} ${file})
                list(APPEND crossings "${shown} includes ${header}")
            endif()
        endforeach()
    endforeach()
endforeach()

if(crossings)
    list(JOIN crossings "\n  " text)
    message(FATAL_ERROR "includes that cross a layer's line:\n  ${text}")
endif()
