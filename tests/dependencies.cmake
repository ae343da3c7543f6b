# The dependency check: which libraries each part links, directly or through
# the parts it builds on, written at configure time for dependencies_test,
# which also reads every source file's include lines.

# Every target and library `target` links, in no particular order.
function(dk_link_closure target out)
  set(seen "")
  set(queue ${target})
  while(queue)
    list(POP_FRONT queue item)
    string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" item "${item}")
    if(item STREQUAL "" OR item IN_LIST seen OR item MATCHES "^\\$<")
      continue()
    endif()
    list(APPEND seen ${item})
    if(TARGET ${item})
      foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
        get_target_property(libraries ${item} ${property})
        if(libraries)
          list(APPEND queue ${libraries})
        endif()
      endforeach()
    endif()
  endwhile()
  list(REMOVE_ITEM seen ${target})
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

set(dk_links "")
foreach(part dravelkint_frame dravelkint_processor dravelkint_wobble dravelkint_lv2_binding dravelkint_text
    dravelkint_song dravelkint_plugin_host dravelkint_automation dravelkint_validate dravelkint_picture)
  if(TARGET ${part})
    dk_link_closure(${part} closure)
    list(JOIN closure " " closure)
    string(APPEND dk_links "${part}: ${closure}\n")
  endif()
endforeach()
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/part_links.txt "${dk_links}")

dk_test(dependencies_test LABEL unit SOURCES dependencies_test.cpp)
target_compile_definitions(dependencies_test PRIVATE
  DRAVELKINT_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
  DRAVELKINT_PART_LINKS="${CMAKE_CURRENT_BINARY_DIR}/part_links.txt"
  DRAVELKINT_HOST_BUILT=$<BOOL:${DRAVELKINT_HOST}>
  DRAVELKINT_LV2_BUILT=$<TARGET_EXISTS:dravelkint_lv2_binding>)
