kappwerk_add_benchmark(bench_preview SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_preview.cpp LIBS previewtexts toolkit)
