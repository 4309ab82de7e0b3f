kappwerk_add_benchmark(bench_namerules SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_namerules.cpp LIBS engine)
kappwerk_add_benchmark(bench_batchrun SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_batchrun.cpp LIBS engine)
