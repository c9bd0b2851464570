# SPDX-License-Identifier: GPL-3.0-or-later
# Chart scales: data-to-pixel conversion rate, axis layout and the per-sample range update.
add_executable(bench_scales ${CMAKE_CURRENT_LIST_DIR}/bench_scales.cpp)
target_link_libraries(bench_scales PRIVATE plotmira_chartcore)
set_target_properties(bench_scales PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
