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
# becomes an interface library.
function(vesko_library name)
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/main.cpp)
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
