# The registry file: load and save of many keys.
daybander_benchmark(registry_file_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/registry_file_bench.cpp LIBS winapi)
