# Tests of the per-column reduction of line-to runs and its index.
mevrant_add_test(test_line_decimator SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_line_decimator.cpp LIBS mevrant_chart)
mevrant_add_test(test_line_reduction_render SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_line_reduction_render.cpp LIBS mevrant_chart)
