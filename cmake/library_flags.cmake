# dk_library_flags(TARGET ...): code that ends up in a loadable library.
# Position-independent, and nothing visible outside it that its export list
# or an explicit attribute does not name, so that two plug-ins in one host
# never bind to each other's inline functions.
function(dk_library_flags)
  set_target_properties(${ARGN} PROPERTIES
    POSITION_INDEPENDENT_CODE ON
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
endfunction()
