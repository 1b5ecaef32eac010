# Saving and loading acquisition files.
add_executable(bench_item_file ${CMAKE_CURRENT_LIST_DIR}/bench_item_file.cpp)
target_link_libraries(bench_item_file PRIVATE mevrant_chart_core benchmark::benchmark benchmark::benchmark_main)
