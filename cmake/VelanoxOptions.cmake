# Warnings, threads, sanitisers and the helper that turns a source folder into one layer target.

add_library(velanox_warnings INTERFACE)
target_compile_options(velanox_warnings INTERFACE -Wall -Wextra)

# Threads inside one call (the engine, the pixel filters and passes, the PNG writer) and the
# batch tool's parallel jobs: OpenMP, found once here. Without it the same code runs on one
# thread.
add_library(velanox_threads INTERFACE)
if(VELANOX_OPENMP)
  find_package(OpenMP REQUIRED)
  target_link_libraries(velanox_threads INTERFACE OpenMP::OpenMP_CXX)
endif()

if(VELANOX_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(VELANOX_FUZZ)
  # Everything is instrumented for coverage; only the fuzz programs link libFuzzer's main.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# velanox_add_layer(<name> SOURCES <files>... [DEPS <public targets>...]
#                   [PRIVATE_DEPS <targets>...])
# Builds the listed sources of the current folder into the static library velanox_<name>.
# Includes are rooted at src/, so every include names its layer ("engine/noise_reducer.h").
function(velanox_add_layer name)
  cmake_parse_arguments(L "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  if(NOT L_SOURCES)
    message(FATAL_ERROR "velanox_add_layer(${name}): no SOURCES")
  endif()
  set(target velanox_${name})
  add_library(${target} STATIC ${L_SOURCES})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${target} PUBLIC ${L_DEPS} PRIVATE velanox_warnings ${L_PRIVATE_DEPS})
endfunction()
