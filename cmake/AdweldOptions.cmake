# One INTERFACE target that carries the language level, warnings and
# sanitizer flags for every target of the project.
add_library(adweld_options INTERFACE)
target_compile_features(adweld_options INTERFACE cxx_std_20)
target_compile_options(adweld_options INTERFACE -Wall -Wextra -Werror)
target_include_directories(adweld_options INTERFACE ${PROJECT_SOURCE_DIR}/src)
if(ADWELD_SANITIZE)
  target_compile_options(adweld_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(adweld_options INTERFACE -fsanitize=address,undefined)
endif()
if(ADWELD_TSAN)
  target_compile_options(adweld_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(adweld_options INTERFACE -fsanitize=thread)
endif()

# adweld_module(NAME DIR [DEPS ...]): a static library of every .cpp in DIR
# (not recursive), so each subsystem folder is one library and a new file
# needs no edit here.
function(adweld_module name dir)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(srcs)
    add_library(${name} STATIC ${srcs})
    target_link_libraries(${name} PUBLIC adweld_options ${ARG_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE adweld_options ${ARG_DEPS})
  endif()
endfunction()
