# Drawing the layer-1 scales of the main window's chart.
add_executable(bench_scales ${CMAKE_CURRENT_LIST_DIR}/bench_scales.cpp)
target_link_libraries(bench_scales PRIVATE mevrant_chart benchmark::benchmark)
