# cmake -DBUILD_DIR=... -DWORK_DIR=... -DCPACK=... -P check_package.cmake
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${ARGN}: exit ${status}\n${out}\n${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
foreach(f bin/telvaro bin/telvaro-cli bin/telvaro-collect bin/mbus-sim bin/mbus-decode bin/telvaro-users
          share/applications/telvaro.desktop share/icons/hicolor/scalable/apps/telvaro.svg
          share/telvaro/examples/demo.bus share/telvaro/reading.schema.json
          share/telvaro/examples/collect.ini lib/systemd/system/telvaro-collect.service)
  if(NOT EXISTS ${prefix}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()

# Started from the prefix, not from the build folder.
run(${prefix}/bin/telvaro-cli --help)
if(NOT out MATCHES "Usage: telvaro-cli")
  message(FATAL_ERROR "telvaro-cli --help printed:\n${out}")
endif()
# The example configuration is one the collector takes.
run(${prefix}/bin/telvaro-collect --check --config ${prefix}/share/telvaro/examples/collect.ini)
# The collector's unit: systemd takes every line of it (a misspelt sandbox
# setting is only warned about, and then missing), and rates its exposure
# 3.0 at most.
find_program(SYSTEMD_ANALYZE systemd-analyze)
if(SYSTEMD_ANALYZE)
  set(unit ${prefix}/lib/systemd/system/telvaro-collect.service)
  file(READ ${unit} text)
  string(REPLACE "/usr/bin/telvaro-collect" "${prefix}/bin/telvaro-collect" text "${text}")
  file(WRITE ${WORK_DIR}/unit/telvaro-collect.service "${text}")
  execute_process(COMMAND ${SYSTEMD_ANALYZE} verify --man=no ${WORK_DIR}/unit/telvaro-collect.service
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0 OR "${out}${err}" MATCHES "telvaro-collect.service:")
    message(FATAL_ERROR "systemd-analyze verify: exit ${status}\n${out}\n${err}")
  endif()
  execute_process(COMMAND ${SYSTEMD_ANALYZE} --version OUTPUT_VARIABLE out)
  if(out MATCHES "^systemd ([0-9]+)" AND CMAKE_MATCH_1 GREATER_EQUAL 250)
    execute_process(COMMAND ${SYSTEMD_ANALYZE} security --offline=yes --threshold=30 ${unit}
                    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "the unit's exposure is above 3.0:\n${out}\n${err}")
    endif()
  endif()
else()
  message(STATUS "systemd-analyze missing: the unit is not checked")
endif()
run(${prefix}/bin/mbus-sim --help)
if(NOT out MATCHES "Usage: mbus-sim")
  message(FATAL_ERROR "mbus-sim --help printed:\n${out}")
endif()
file(READ ${prefix}/share/applications/telvaro.desktop desktop)
foreach(key "Exec=telvaro" "Icon=telvaro" "Type=Application" "Name\\[it\\]=" "Name\\[pl\\]=")
  if(NOT desktop MATCHES "${key}")
    message(FATAL_ERROR "desktop entry without ${key}")
  endif()
endforeach()

# The Debian package, when the tools for it are there.
find_program(DPKG_DEB dpkg-deb)
if(NOT DPKG_DEB OR NOT CPACK)
  message(STATUS "dpkg-deb or cpack missing: the package is not built")
  return()
endif()
execute_process(COMMAND ${CPACK} -G DEB -B ${WORK_DIR}/deb WORKING_DIRECTORY ${BUILD_DIR}
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cpack: exit ${status}\n${out}\n${err}")
endif()
file(GLOB debs ${WORK_DIR}/deb/telvaro_*.deb)
list(LENGTH debs count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one .deb, got: ${debs}")
endif()
run(${DPKG_DEB} --info ${debs})
foreach(dependency libmosquitto1 libqt6widgets6 libqt6network6 libqt6printsupport6 libqt6core6 libjpeg62-turbo qt6-qpa-plugins
                   libqt6sql6-sqlite libqt6charts6)
  if(NOT out MATCHES "Depends:[^\n]*${dependency}")
    message(FATAL_ERROR "the package does not depend on ${dependency}:\n${out}")
  endif()
endforeach()
run(${DPKG_DEB} --contents ${debs})
foreach(f ./usr/bin/telvaro-cli ./usr/bin/telvaro ./usr/share/applications/telvaro.desktop
          ./usr/share/telvaro/examples/demo.bus ./usr/share/doc/telvaro/copyright ./usr/share/doc/telvaro/changelog.gz
          ./usr/share/man/man1/telvaro.1.gz ./usr/share/man/man1/telvaro-cli.1.gz ./usr/share/man/man1/mbus-sim.1.gz
          ./usr/bin/telvaro-collect ./usr/share/man/man1/telvaro-collect.1.gz ./usr/lib/systemd/system/telvaro-collect.service
          ./usr/share/man/man1/mbus-decode.1.gz ./usr/share/man/man1/telvaro-users.1.gz)
  string(FIND "${out}" "${f}" at)
  if(at LESS 0)
    message(FATAL_ERROR "the package lacks ${f}")
  endif()
endforeach()
# Debian's package checker finds no error (nor a warning) where it is installed.
find_program(LINTIAN lintian)
if(LINTIAN)
  execute_process(COMMAND ${LINTIAN} --fail-on error,warning ${debs} RESULT_VARIABLE status OUTPUT_VARIABLE out
                  ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "lintian: exit ${status}\n${out}\n${err}")
  endif()
else()
  message(STATUS "lintian missing: the package is not checked")
endif()
message(STATUS "installed and packaged: ${debs}")
