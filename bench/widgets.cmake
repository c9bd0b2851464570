# SPDX-License-Identifier: GPL-3.0-or-later
# Busy indicator: cost of one ring picture and of rebuilding its outlines.
if(TARGET plotmira_widgets)
    add_executable(bench_widgets ${CMAKE_CURRENT_LIST_DIR}/widgets/circularprogress_bench.cpp)
    target_link_libraries(bench_widgets PRIVATE plotmira_widgets)
    set_target_properties(bench_widgets PROPERTIES
        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endif()
