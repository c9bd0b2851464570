# SPDX-License-Identifier: GPL-3.0-or-later
# Throughput of the serial receive path against a plain read loop on the same pseudo-terminal.
add_executable(bench_serial ${CMAKE_CURRENT_LIST_DIR}/bench_serial.cpp)
target_include_directories(bench_serial PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(bench_serial PRIVATE plotmira_serial plotmira_simcore util)
set_target_properties(bench_serial PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
