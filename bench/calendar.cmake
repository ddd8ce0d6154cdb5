# Gregorian date -> Solar Hijri date: ours and ICU's, in the same run.
find_package(ICU REQUIRED COMPONENTS i18n uc)
daybander_benchmark(calendar_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/calendar_bench.cpp
  LIBS calendar winapi ICU::i18n ICU::uc)
