# One place for the language level, warnings and sanitizer switches, so every
# library and test links the same settings through vesko_common.
add_library(vesko_common INTERFACE)
target_compile_features(vesko_common INTERFACE cxx_std_20)
target_compile_options(vesko_common INTERFACE -Wall -Wextra)
if(VESKO_WERROR)
    target_compile_options(vesko_common INTERFACE -Werror)
endif()

set(VESKO_SANITIZE "" CACHE STRING "Sanitizer build: address (ASan+UBSan) or thread (TSan)")
# GCC's flow analysis reports false "maybe uninitialized" warnings inside the standard
# library (std::regex, std::function) once sanitizer instrumentation is added.
if(NOT VESKO_SANITIZE STREQUAL "")
    target_compile_options(vesko_common INTERFACE -Wno-maybe-uninitialized)
endif()
if(VESKO_SANITIZE STREQUAL "address")
    target_compile_options(vesko_common INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
                                                  -fno-sanitize-recover=undefined)
    target_link_options(vesko_common INTERFACE -fsanitize=address,undefined)
elseif(VESKO_SANITIZE STREQUAL "thread")
    target_compile_options(vesko_common INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
    target_link_options(vesko_common INTERFACE -fsanitize=thread)
elseif(NOT VESKO_SANITIZE STREQUAL "")
    message(FATAL_ERROR "VESKO_SANITIZE must be empty, address or thread")
endif()

# One static library per source folder, made of every .cpp in it, linked PUBLIC against
# the given libraries, or PRIVATE against those after the word PRIVATE: what no header of
# the folder shows, so the layers above cannot lean on it. A folder with no sources yet
# becomes an interface library. Sources named main.cpp or NAME_main.cpp are executables'
# own, and the files a vesko_core_library of the folder took are left to it, which is
# linked PUBLIC instead.
function(vesko_library name)
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    list(FILTER sources EXCLUDE REGEX "/([a-z]+_)?main\\.cpp$")
    get_directory_property(core_sources VESKO_CORE_SOURCES)
    get_directory_property(core_libraries VESKO_CORE_LIBRARIES)
    if(core_sources)
        list(REMOVE_ITEM sources ${core_sources})
    endif()
    set(ARGN ${core_libraries} ${ARGN})
    if(sources)
        add_library(${name} STATIC ${sources})
        target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
        target_link_libraries(${name} PUBLIC vesko_common ${ARGN})
    else()
        add_library(${name} INTERFACE)
        target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
        target_link_libraries(${name} INTERFACE vesko_common ${ARGN})
    endif()
endfunction()

# The files of a Qt layer's folder that the command line needs without Qt: a static library
# of their own, linked only against the given libraries, so `vesko` itself never loads Qt.
#   vesko_core_library(NAME SOURCES file.cpp... LINKS library...)
function(vesko_core_library name)
    cmake_parse_arguments(PARSE_ARGV 1 core "" "" "SOURCES;LINKS")
    list(TRANSFORM core_SOURCES PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
    add_library(${name} STATIC ${core_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC vesko_common ${core_LINKS})
    set_property(DIRECTORY APPEND PROPERTY VESKO_CORE_SOURCES ${core_SOURCES})
    set_property(DIRECTORY APPEND PROPERTY VESKO_CORE_LIBRARIES ${name})
endfunction()
