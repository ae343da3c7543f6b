# cmake -DNM=nm -DOBJECTS="a.o;b.o" -DPLUGIN=dravelkint.so -P vector_code_check.cmake
#
# Fails when an object built for AVX2 and FMA defines a weak or unique
# symbol (an inline function or template the linker might also hand to code
# running on processors without them), or when the plug-in has a dynamic
# initialiser of its own, which would run when a host loads it.
foreach(object IN LISTS OBJECTS)
  execute_process(COMMAND ${NM} --defined-only ${object} OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${NM} could not read ${object}")
  endif()
  string(REGEX MATCHALL "[^\n]* [WVu] [^\n]*" shared "${symbols}")
  if(shared)
    message(FATAL_ERROR "${object} shares symbols with other code:\n${shared}")
  endif()
endforeach()

execute_process(COMMAND ${NM} ${PLUGIN} OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${NM} could not read ${PLUGIN}")
endif()
string(REGEX MATCHALL "[^\n]*_GLOBAL__sub_I[^\n]*" initialisers "${symbols}")
if(initialisers)
  message(FATAL_ERROR "${PLUGIN} runs code at load time:\n${initialisers}")
endif()
list(LENGTH OBJECTS count)
message(STATUS "${count} vector objects share nothing; ${PLUGIN} has no initialiser of its own")
