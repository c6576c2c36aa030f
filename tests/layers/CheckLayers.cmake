# Fails on an include that crosses a layer's line: the engine (index, and scan and search
# above it) includes no Qt and nothing of the application, the store nothing of the
# windows, ui of the engine only the highlighting, the shell no engine header. The windows'
# lines are followed through the headers they include, so a store header cannot hand them
# an engine type either, except the few listed below with the reason.
#   cmake -DSOURCES=<src folder> -P CheckLayers.cmake
cmake_minimum_required(VERSION 3.25)
set(forbidden_index "^(Q|scan/|search/|store/|ui/|shell/|app/)")
set(forbidden_scan "^(Q|search/|store/|ui/|shell/|app/)")
set(forbidden_search "^(Q|scan/|store/|ui/|shell/|app/)")
set(forbidden_store "^(ui|shell|app)/")
set(forbidden_ui "^(index|scan|search|shell|app)/")
set(allowed_ui "search/Highlight.h")
set(forbidden_shell "^(index|scan|search|app)/")
set(engine "^(index|scan|search)/")

# Engine headers the windows may still see through a store header, and why:
#   search/Filters.h, search/ResultSort.h: the filter record and the result order are the
#     engine's own value types, which the session, the saved searches and the request
#     builder hold and the sidebar and the sort menu edit as they are;
#   index/FileDescriptor.h, index/HomeFolder.h, index/PrivateFolders.h: the single-instance
#     socket and lock (InstanceSocket.h, UserFolders.h) are shared with `vesko --find`, which
#     has no Qt, and hold the engine's descriptor type.
set(engine_through_store search/Filters.h search/ResultSort.h index/FileDescriptor.h
                         index/HomeFolder.h index/PrivateFolders.h)

# The project headers a file includes, as written ("store/Settings.h").
function(includes_of file result)
    file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    set(headers "")
    foreach(line ${lines})
        string(REGEX REPLACE ".*include[ \t]*[<\"]([^>\"]*)[>\"].*" "\\1" header "${line}")
        list(APPEND headers ${header})
    endforeach()
    set(${result} ${headers} PARENT_SCOPE)
endfunction()

foreach(layer index scan search store ui shell)
    file(GLOB files ${SOURCES}/${layer}/*.h ${SOURCES}/${layer}/*.cpp)
    foreach(file ${files})
        file(RELATIVE_PATH shown ${SOURCES} ${file})
        includes_of(${file} headers)
        foreach(header ${headers})
            if(header MATCHES "${forbidden_${layer}}" AND NOT header IN_LIST allowed_${layer})
                list(APPEND crossings "${shown} includes ${header}")
            endif()
        endforeach()
        if(NOT layer MATCHES "^(ui|shell)$")
            continue()
        endif()
        # Through the store's headers: every one reached must be free of the engine.
        set(seen "")
        set(pending "")
        foreach(header ${headers})
            if(header MATCHES "^store/")
                list(APPEND pending ${header})
            endif()
        endforeach()
        while(pending)
            list(POP_FRONT pending header)
            if(header IN_LIST seen OR NOT EXISTS ${SOURCES}/${header})
                continue()
            endif()
            list(APPEND seen ${header})
            includes_of(${SOURCES}/${header} inner)
            foreach(next ${inner})
                if(next MATCHES "${engine}" AND NOT next IN_LIST engine_through_store)
                    list(APPEND crossings "${shown} sees ${next} through ${header}")
                elseif(next MATCHES "^store/")
                    list(APPEND pending ${next})
                endif()
            endforeach()
        endwhile()
    endforeach()
endforeach()
if(crossings)
    list(REMOVE_DUPLICATES crossings)
    list(JOIN crossings "\n  " text)
    message(FATAL_ERROR "includes that cross a layer's line:\n  ${text}")
endif()
