# Writes the page's service worker (service-worker.js) into a built page's
# folder from service_worker.js: the cache's name from the hashes of all the
# page's files, so that it changes with every build, and each file with its
# own hash. The web build runs it once the modules are linked; the page's
# tests run it on a changed copy of the folder to make a new build.
#   cmake -DDIR=build/web -DTEMPLATE=platforms/web/service_worker.js -P write_service_worker.cmake
set(page_files index.html vasken.js vasken.wasm vasken-simd.wasm vasken.webmanifest
  icon-192.png icon-512.png icon-maskable.png)
set(entries "")
foreach(name IN LISTS page_files)
  file(SHA256 ${DIR}/${name} hash)
  string(APPEND entries "    '${name}': '${hash}',\n")
endforeach()
string(SHA256 build "${entries}")
string(SUBSTRING ${build} 0 16 VASKEN_BUILD)
set(VASKEN_FILES "{\n${entries}}")
configure_file(${TEMPLATE} ${DIR}/service-worker.js @ONLY)
