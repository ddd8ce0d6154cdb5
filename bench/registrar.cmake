# The registry script interpreter: a large generated script per pass.
daybander_benchmark(registrar_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/registrar_bench.cpp LIBS registrar winapi)
