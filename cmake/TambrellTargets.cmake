# Our own code compiles strictly; single precision DSP must give the same bits on
# every machine, so no contraction into fused multiply-adds and no fast-math.
set(TB_WARNINGS -Wall -Wextra -Werror)
set(TB_CODEGEN -ffp-contract=off -fno-fast-math)

function(tb_strict target)
  get_target_property(kind ${target} TYPE)
  if(kind STREQUAL "INTERFACE_LIBRARY")
    return()
  endif()
  target_compile_options(${target} PRIVATE ${TB_WARNINGS} ${TB_CODEGEN})
endfunction()

# tb_library(<name> DIRS <folder>... [DEPS <target>...] [SYSTEM_DEPS <target>...])
# One static library made of every .cpp in the named folders (relative to the
# current source folder). A folder that has no sources yet gives an interface
# library, so targets that depend on it still configure.
function(tb_library name)
  cmake_parse_arguments(A "" "" "DIRS;DEPS;SYSTEM_DEPS" ${ARGN})
  set(srcs)
  foreach(d IN LISTS A_DIRS)
    file(GLOB s CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${d}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${d}/*.c)
    list(APPEND srcs ${s})
  endforeach()
  if(srcs)
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${A_DEPS} ${A_SYSTEM_DEPS})
    tb_strict(${name})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${A_DEPS} ${A_SYSTEM_DEPS})
  endif()
endfunction()

# tb_plugin_module(<target> [OUTPUT_NAME <name>] SOURCES <file>... LIBS <target>...)
# A plug-in module <name>.so (no "lib" prefix) that a host loads with dlopen.
# It carries the VST and native entry points and exports nothing but the
# entries listed in the version script below; the static libraries' symbols
# stay inside, so two plug-ins built on different framework versions never
# meet. The entry
# points, the load-time hook and the installer of the X11 window system are
# compiled into the module itself, so the linker keeps them without being told to.
function(tb_plugin_module target)
  cmake_parse_arguments(A "" "OUTPUT_NAME" "SOURCES;LIBS" ${ARGN})
  if(NOT A_OUTPUT_NAME)
    set(A_OUTPUT_NAME ${target})
  endif()
  set(exports ${CMAKE_CURRENT_BINARY_DIR}/${target}.exports)
  file(WRITE ${exports} "{\n  global: VSTPluginMain; main; CreatePlugInstance;\n  local: *;\n};\n")
  add_library(${target} MODULE ${A_SOURCES}
    ${PROJECT_SOURCE_DIR}/framework/vst/entry/VstExports.cpp
    ${PROJECT_SOURCE_DIR}/framework/native/entry/NativeExports.cpp
    ${PROJECT_SOURCE_DIR}/framework/engine/entry/ModuleLoadHook.cpp
    ${PROJECT_SOURCE_DIR}/platform/x11/entry/X11Default.cpp)
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${A_OUTPUT_NAME} LINK_DEPENDS ${exports})
  target_link_libraries(${target} PRIVATE ${A_LIBS} tb_vst tb_native tb_engine tb_platform_x11)
  target_link_options(${target} PRIVATE
    -Wl,--exclude-libs,ALL
    -Wl,--version-script=${exports}
    -Wl,--no-undefined)
  tb_strict(${target})
endfunction()
