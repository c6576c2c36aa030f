# Precompiled headers: much of a window source's compile time goes to parsing Qt's headers
# again in every file. Each group below is parsed once per build and shared by the targets
# whose compile flags match, since a precompiled header is only valid
# under the flags it was made with (GCC falls back to the plain header otherwise). The
# store's group holds no Widgets header, so the store still cannot use one without failing.
# Included once, after every target exists; VESKO_PCH=OFF builds without them.
option(VESKO_PCH "Precompile the Qt headers of the window's libraries" ON)
if(NOT VESKO_PCH)
    return()
endif()

# ccache caches compiles that use a precompiled header only when told to ignore the
# header's time stamps and the macros it was made with (both part of its own key).
if(CMAKE_CXX_COMPILER_LAUNCHER MATCHES "ccache")
    set(vesko_pch_launcher ${CMAKE_COMMAND} -E env
                           CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
                           ${CMAKE_CXX_COMPILER_LAUNCHER})
endif()

set(VESKO_PCH_STD <algorithm> <chrono> <functional> <memory> <optional> <string> <string_view>
                  <vector>)
set(VESKO_PCH_QT_CORE <QByteArray> <QCoreApplication> <QDateTime> <QLocale> <QObject> <QString>
                      <QStringList>)
set(VESKO_PCH_QT_WIDGETS <QApplication> <QEvent> <QHBoxLayout> <QKeyEvent> <QLabel> <QLineEdit>
                         <QPushButton> <QStyle> <QVBoxLayout> <QWidget>)

# Gives `target` its own precompiled header of the listed headers.
function(vesko_precompile target)
    if(TARGET ${target})
        target_precompile_headers(${target} PRIVATE ${ARGN})
        if(vesko_pch_launcher)
            set_target_properties(${target} PROPERTIES CXX_COMPILER_LAUNCHER "${vesko_pch_launcher}")
        endif()
    endif()
endfunction()

# Lets `target` use the precompiled header of `owner`, whose flags it shares.
function(vesko_precompile_like target owner)
    if(TARGET ${target} AND TARGET ${owner})
        target_precompile_headers(${target} REUSE_FROM ${owner})
        if(vesko_pch_launcher)
            set_target_properties(${target} PROPERTIES CXX_COMPILER_LAUNCHER "${vesko_pch_launcher}")
        endif()
    endif()
endfunction()

vesko_precompile(vesko_store ${VESKO_PCH_STD} ${VESKO_PCH_QT_CORE})
vesko_precompile(vesko_ui ${VESKO_PCH_STD} ${VESKO_PCH_QT_CORE} ${VESKO_PCH_QT_WIDGETS})
vesko_precompile_like(vesko_shell vesko_ui)

# Not for the test executables: with libstdc++'s headers coming from a precompiled header,
# GCC 12 reports false -Warray-bounds and -Wstringop-overflow warnings inside std::string's
# copy in test code (seen in tests/search, tests/store and tests/e2e), which -Werror turns
# into a failed build.
