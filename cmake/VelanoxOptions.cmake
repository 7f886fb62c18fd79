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

# velanox_add_layer(<name> [DEPS <public targets>...] [PRIVATE_DEPS <targets>...]
#                   [EXCLUDE <sub-folders>...])
# Builds every .cpp below the current folder (but the excluded sub-folders) into the library
# velanox_<name>. Includes are
# rooted at src/, so every include names its layer ("engine/noise_reducer.h").
function(velanox_add_layer name)
  cmake_parse_arguments(L "" "" "DEPS;PRIVATE_DEPS;EXCLUDE" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(dir ${L_EXCLUDE})
    list(FILTER srcs EXCLUDE REGEX "^${CMAKE_CURRENT_SOURCE_DIR}/${dir}/")
  endforeach()
  set(target velanox_${name})
  if(srcs)
    add_library(${target} STATIC ${srcs})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${target} PUBLIC ${L_DEPS} PRIVATE velanox_warnings ${L_PRIVATE_DEPS})
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${target} INTERFACE ${L_DEPS})
  endif()
endfunction()

# velanox_use_codec_modules(<executable>...)
# For the programs that load the codec modules: the whole codec layer is linked in and exported,
# so that the modules' calls into the core find it.
function(velanox_use_codec_modules)
  foreach(target ${ARGN})
    set_target_properties(${target} PROPERTIES ENABLE_EXPORTS ON)
    target_link_options(${target} PRIVATE "LINKER:--whole-archive" "$<TARGET_FILE:velanox_codec>"
                        "LINKER:--no-whole-archive")
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
