# Warnings, sanitisers and the helper that turns a source folder into one layer target.

add_library(velanox_warnings INTERFACE)
target_compile_options(velanox_warnings INTERFACE -Wall -Wextra)

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

# velanox_use_codec_modules(<executable>...)
# For the programs that load the codec modules: the whole codec layer, and the pixel buffer its
# pictures are made of, are linked in and exported, so that the modules' calls into the core
# find them.
function(velanox_use_codec_modules)
  foreach(target ${ARGN})
    set_target_properties(${target} PROPERTIES ENABLE_EXPORTS ON)
    target_link_options(${target} PRIVATE "LINKER:--whole-archive" "$<TARGET_FILE:velanox_codec>"
                        "$<TARGET_FILE:velanox_image>" "LINKER:--no-whole-archive")
    add_dependencies(${target} ${VELANOX_CODEC_MODULES})
  endforeach()
endfunction()

# velanox_use_built_in_codecs(<executable>...)
# For the test, fuzz and benchmark programs: the module families linked in, never loaded.
function(velanox_use_built_in_codecs)
  foreach(target ${ARGN})
    target_sources(${target} PRIVATE $<TARGET_OBJECTS:velanox_codec_built_in_list>)
    target_link_libraries(${target} PRIVATE velanox_codec_built_in)
  endforeach()
endfunction()
