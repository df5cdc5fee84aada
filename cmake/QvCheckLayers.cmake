# Checks that includes between the source folders run one way: every
# #include of a project file reaches only the folder itself or one the
# folder may use (the table below, which must itself have no cycle), and
# the platform-free files include no platform header and no file that is
# not platform-free. Run by ctest (tests/CMakeLists.txt):
#
#   cmake -DQV_SOURCE_DIR=<repository> -P cmake/QvCheckLayers.cmake
#
# QV_PRETEND_INCLUDES, entries "file|header" separated by commas (header
# written as in an #include: "name.h" or <name.h>), adds includes that are
# not in the sources, so that the check can be shown to fail.
cmake_minimum_required(VERSION 3.20)

if(NOT QV_SOURCE_DIR)
  message(FATAL_ERROR "QvCheckLayers: QV_SOURCE_DIR is not set")
endif()

# Folder, then the folders it may include from.
set(qv_layers
  "engine|"
  "win32|"
  "input|engine"
  "display|"
  "panel|engine input win32"
  "overlay|engine input display win32"
  "app|engine input overlay panel win32"
  "linux/logic|engine input panel"
  "linux|engine input display panel linux/logic"
  "render|engine"
  "web|engine panel render")

# Files that build without any platform: what both programs share and the
# native tests reach without a display.
set(qv_platform_free_globs
  "engine/*" "input/*" "display/*" "linux/logic/*"
  "panel/panel_ids.h" "panel/panel_labels.*" "panel/panel_layout.*" "panel/panel_rules.*")

function(qv_error text)
  set_property(GLOBAL APPEND PROPERTY qv_errors "${text}")
endfunction()

# The table: folders, what each may use, and that it is acyclic (Kahn's
# order: repeatedly take a folder whose allowed folders are all taken).
set(qv_folders "")
foreach(entry IN LISTS qv_layers)
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 folder)
  list(LENGTH parts n)
  set(uses "")
  if(n GREATER 1)
    list(GET parts 1 uses)
    separate_arguments(uses UNIX_COMMAND "${uses}")
  endif()
  list(APPEND qv_folders "${folder}")
  set(qv_uses_${folder} "${uses}")
endforeach()
set(qv_ordered "")
set(qv_left "${qv_folders}")
while(qv_left)
  set(progress FALSE)
  foreach(folder IN LISTS qv_left)
    set(ready TRUE)
    foreach(used IN LISTS qv_uses_${folder})
      if(NOT used IN_LIST qv_ordered)
        set(ready FALSE)
      endif()
    endforeach()
    if(ready)
      list(APPEND qv_ordered "${folder}")
      list(REMOVE_ITEM qv_left "${folder}")
      set(progress TRUE)
    endif()
  endforeach()
  if(NOT progress)
    message(FATAL_ERROR "QvCheckLayers: the table of folders has a cycle among: ${qv_left}")
  endif()
endwhile()

# Every source file of every folder, and an index of basenames: an include
# without a path is found in the includer's own folder first, then wherever
# the one file of that name is.
set(qv_files "")
foreach(folder IN LISTS qv_folders)
  file(GLOB found LIST_DIRECTORIES false RELATIVE "${QV_SOURCE_DIR}"
    "${QV_SOURCE_DIR}/${folder}/*.h" "${QV_SOURCE_DIR}/${folder}/*.cpp" "${QV_SOURCE_DIR}/${folder}/*.def"
    "${QV_SOURCE_DIR}/${folder}/*.rc")
  foreach(file IN LISTS found)
    set(qv_folder_of_${file} "${folder}")
    get_filename_component(name "${file}" NAME)
    list(APPEND qv_named_${name} "${file}")
  endforeach()
  list(APPEND qv_files ${found})
endforeach()

foreach(glob IN LISTS qv_platform_free_globs)
  file(GLOB found LIST_DIRECTORIES false RELATIVE "${QV_SOURCE_DIR}" "${QV_SOURCE_DIR}/${glob}")
  foreach(file IN LISTS found)
    set(qv_platform_free_${file} TRUE)
  endforeach()
endforeach()

# The file an include names, or "" for one outside the folders (the
# standard library, the platform, generated files).
function(qv_resolve includer header out)
  set(${out} "" PARENT_SCOPE)
  if(header MATCHES "/")
    get_filename_component(dir "${includer}" DIRECTORY)
    cmake_path(SET path NORMALIZE "${dir}/${header}")
    if(DEFINED qv_folder_of_${path})
      set(${out} "${path}" PARENT_SCOPE)
    endif()
    return()
  endif()
  get_filename_component(dir "${includer}" DIRECTORY)
  if(DEFINED qv_folder_of_${dir}/${header})
    set(${out} "${dir}/${header}" PARENT_SCOPE)
    return()
  endif()
  set(candidates "${qv_named_${header}}")
  list(LENGTH candidates n)
  if(n EQUAL 1)
    set(${out} "${candidates}" PARENT_SCOPE)
  elseif(n GREATER 1)
    string(REPLACE ";" ", " candidates "${candidates}")
    qv_error("${includer}: \"${header}\" could be any of ${candidates}")
  endif()
endfunction()

# A platform-free file may include the standard library (names without an
# extension) and the compiler's vector intrinsics (x86's *intrin.h and
# WebAssembly's wasm_simd128.h), nothing else in <>.
function(qv_check_angle includer header)
  if(DEFINED qv_platform_free_${includer} AND header MATCHES "\\."
     AND NOT header MATCHES "intrin\\.h$" AND NOT header STREQUAL "wasm_simd128.h")
    qv_error("${includer} is platform-free but includes <${header}>")
  endif()
endfunction()

function(qv_check_quoted includer header)
  qv_resolve("${includer}" "${header}" target)
  if(NOT target)
    return()
  endif()
  set(from "${qv_folder_of_${includer}}")
  set(to "${qv_folder_of_${target}}")
  if(NOT from STREQUAL to AND NOT to IN_LIST qv_uses_${from})
    qv_error("${includer} includes ${header} (${to}/), which ${from}/ may not include")
  endif()
  if(DEFINED qv_platform_free_${includer} AND NOT DEFINED qv_platform_free_${target})
    qv_error("${includer} is platform-free but includes ${header}, which is not")
  endif()
  if(NOT from STREQUAL to)
    set_property(GLOBAL APPEND PROPERTY qv_used_${from} "${to}")
  endif()
endfunction()

string(REPLACE "," ";" qv_pretend "${QV_PRETEND_INCLUDES}")
foreach(file IN LISTS qv_files)
  file(STRINGS "${QV_SOURCE_DIR}/${file}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  foreach(pretend IN LISTS qv_pretend)
    string(FIND "${pretend}" "${file}|" at)
    if(at EQUAL 0)
      string(REPLACE "${file}|" "#include " line "${pretend}")
      list(APPEND lines "${line}")
    endif()
  endforeach()
  foreach(line IN LISTS lines)
    if(line MATCHES "#[ \t]*include[ \t]*<([^>]+)>")
      qv_check_angle("${file}" "${CMAKE_MATCH_1}")
    elseif(line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
      qv_check_quoted("${file}" "${CMAKE_MATCH_1}")
    endif()
  endforeach()
endforeach()

get_property(qv_errors GLOBAL PROPERTY qv_errors)
if(qv_errors)
  list(REMOVE_DUPLICATES qv_errors)
  list(LENGTH qv_errors n)
  string(REPLACE ";" "\n  " text "${qv_errors}")
  message(FATAL_ERROR "QvCheckLayers: ${n} include(s) against the layers:\n  ${text}")
endif()

# The graph as the sources have it, lowest folders first.
list(LENGTH qv_files n)
message(STATUS "QvCheckLayers: ${n} files, includes run one way:")
foreach(folder IN LISTS qv_ordered)
  get_property(used GLOBAL PROPERTY qv_used_${folder})
  if(used)
    list(REMOVE_DUPLICATES used)
    list(SORT used)
    string(REPLACE ";" " " used "${used}")
  else()
    set(used "(nothing outside itself)")
  endif()
  message(STATUS "  ${folder}/ -> ${used}")
endforeach()
