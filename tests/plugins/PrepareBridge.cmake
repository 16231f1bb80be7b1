# Fills BIN/bridge/ for the tests that call plug-ins of the other bitness:
# this build's library and both surrogates, and every DLL of the other
# bitness's build (OTHER, its bin/): its plug-ins, test plug-ins and
# recorder, with its sub/, but not its library. Without that build it leaves
# bridge/ without plug-ins and says so; those tests then skip and say why.
#   cmake -DBIN=... -DOTHER=... -P PrepareBridge.cmake
set(bridge ${BIN}/bridge)
file(REMOVE_RECURSE ${bridge})
file(MAKE_DIRECTORY ${bridge}/sub)
file(COPY ${BIN}/tovracaller.dll ${BIN}/tovra-surrogate32.exe ${BIN}/tovra-surrogate64.exe DESTINATION ${bridge})
if(NOT EXISTS ${OTHER}/calc.dll)
  message("${OTHER} holds no plug-ins (build that preset first): the tests that call plug-ins of the other bitness skip")
  return()
endif()
file(GLOB plugins ${OTHER}/*.dll)
list(REMOVE_ITEM plugins ${OTHER}/tovracaller.dll)
file(GLOB nested ${OTHER}/sub/*.dll)
file(COPY ${plugins} DESTINATION ${bridge})
file(COPY ${nested} DESTINATION ${bridge}/sub)
message("${bridge} holds this build's library and both surrogates, and the plug-ins of ${OTHER}")
