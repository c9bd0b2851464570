# SPDX-License-Identifier: GPL-3.0-or-later
# Chart control: full paint and item redraw times at the form's size.
add_executable(bench_chart ${CMAKE_CURRENT_LIST_DIR}/bench_chart.cpp)
target_link_libraries(bench_chart PRIVATE plotmira_chart plotmira_chartcore Qt6::Widgets)
set_target_properties(bench_chart PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
