# One INTERFACE target that carries the language level, warnings and
# sanitizer flags for every target of the project.
add_library(adweld_options INTERFACE)
target_compile_features(adweld_options INTERFACE cxx_std_20)
target_compile_options(adweld_options INTERFACE -Wall -Wextra)
if(ADWELD_WERROR)
  target_compile_options(adweld_options INTERFACE -Werror)
endif()
target_include_directories(adweld_options INTERFACE ${PROJECT_SOURCE_DIR}/src)

# product_version.h, for the targets that show the version.
configure_file(${CMAKE_CURRENT_LIST_DIR}/product_version.h.in ${PROJECT_BINARY_DIR}/generated/product_version.h @ONLY)
add_library(adweld_version INTERFACE)
target_include_directories(adweld_version INTERFACE ${PROJECT_BINARY_DIR}/generated)
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
