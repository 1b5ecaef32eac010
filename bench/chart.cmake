# Chart rendering: Redraw timing and a picture of every item kind, grid style and the window's scales.
add_executable(bench_redraw ${CMAKE_CURRENT_LIST_DIR}/bench_redraw.cpp)
target_link_libraries(bench_redraw PRIVATE mevrant_chart benchmark::benchmark)
add_executable(chart_gallery ${CMAKE_CURRENT_LIST_DIR}/chart_gallery.cpp)
target_link_libraries(chart_gallery PRIVATE mevrant_chart)
