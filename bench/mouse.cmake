# SPDX-License-Identifier: GPL-3.0-or-later
# Chart mouse: cost of one pan or zoom-drag step and of one rubber-band move at the form's size.
add_executable(bench_mouse ${CMAKE_CURRENT_LIST_DIR}/bench_mouse.cpp)
target_link_libraries(bench_mouse PRIVATE plotmira_chart plotmira_chartcore Qt6::Widgets)
set_target_properties(bench_mouse PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
