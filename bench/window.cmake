# SPDX-License-Identifier: GPL-3.0-or-later
# Main window: start-up time to a shown window, as a fresh process and within a running one.
if(TARGET plotmira_window)
    add_executable(bench_window ${CMAKE_CURRENT_LIST_DIR}/window/startup_bench.cpp)
    target_link_libraries(bench_window PRIVATE plotmira_window Qt6::Test)
    set_target_properties(bench_window PROPERTIES
        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endif()

# Keeping up with the wire through the real window, under an X server: `make bench-window`.
# Not a bench_* binary: `make bench` runs headless, this one drives the real program. It clicks
# and watches through Xlib and XTEST (libx11-dev, libxtst-dev).
find_package(X11)
if(TARGET plotmira_window AND TARGET X11::Xtst)
    add_executable(plotmira-window-bench ${CMAKE_CURRENT_LIST_DIR}/window/windowbench.cpp
        ${CMAKE_CURRENT_LIST_DIR}/window/xprobe.cpp)
    target_include_directories(plotmira-window-bench PRIVATE ${PROJECT_SOURCE_DIR})
    target_link_libraries(plotmira-window-bench PRIVATE plotmira_window util X11::X11 X11::Xtst)
    set_target_properties(plotmira-window-bench PROPERTIES
        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
elseif(TARGET plotmira_window)
    message(STATUS "plotmira-window-bench needs libx11-dev and libxtst-dev: not built")
endif()
