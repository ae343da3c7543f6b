# cmake -DNM=nm -DOBJECTS="a.o;b.o" -DPLUGIN=dravelkint.so -P vector_code_check.cmake
#
# Fails when an object built for AVX2 and FMA defines a weak function (an
# inline function or template the linker might also hand to code running on
# processors without them; weak data such as the sanitizers' references is
# no code), or when the plug-in has a dynamic initialiser of its own, which
# would run when a host loads it.
function(fail_on_symbols file options pattern reason)
  execute_process(COMMAND ${NM} ${options} ${file} OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${NM} could not read ${file}")
  endif()
  string(REGEX MATCHALL "${pattern}" found "${symbols}")
  if(found)
    message(FATAL_ERROR "${file} ${reason}:\n${found}")
  endif()
endfunction()

foreach(object IN LISTS OBJECTS)
  fail_on_symbols(${object} --defined-only "[^\n]* W [^\n]*" "shares symbols with other code")
endforeach()
fail_on_symbols(${PLUGIN} --no-sort "[^\n]*_GLOBAL__sub_I[^\n]*" "runs code at load time")
list(LENGTH OBJECTS count)
message(STATUS "${count} vector objects share nothing; ${PLUGIN} has no initialiser of its own")
