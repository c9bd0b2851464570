# SPDX-License-Identifier: GPL-3.0-or-later
# Chart core: item store append and front-delete costs, memory of a full run, session file speed.
add_executable(bench_chartcore ${CMAKE_CURRENT_LIST_DIR}/bench_chartcore.cpp)
target_link_libraries(bench_chartcore PRIVATE plotmira_chartcore)
set_target_properties(bench_chartcore PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
