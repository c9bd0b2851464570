# SPDX-License-Identifier: GPL-3.0-or-later
# Spectra: the transform by length, and the live view's main-thread cost per update.
if(TARGET plotmira_analysis AND TARGET plotmira_window)
    add_executable(bench_spectrum ${CMAKE_CURRENT_LIST_DIR}/bench_spectrum.cpp)
    target_include_directories(bench_spectrum PRIVATE ${PROJECT_SOURCE_DIR})
    target_link_libraries(bench_spectrum PRIVATE plotmira_analysis plotmira_window Qt6::Widgets)
    set_target_properties(bench_spectrum PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endif()
