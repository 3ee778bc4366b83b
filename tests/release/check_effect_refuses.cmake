# The effect check refuses broken copies of the effect source: each break below must make it
# fail, naming the fault. Run as: cmake -DCHECK=... -DFX=... -DDIR=... -P check_effect_refuses.cmake
file(READ ${FX} source)
file(REMOVE_RECURSE ${DIR})
file(MAKE_DIRECTORY ${DIR})

# refused(name regex replacement expected): the source with `regex` replaced must fail the
# check with output matching `expected`.
function(refused name regex replacement expected)
  string(REGEX REPLACE "${regex}" "${replacement}" broken "${source}")
  if(broken STREQUAL source)
    message(FATAL_ERROR "${name}: '${regex}' is not in ${FX}; update this test")
  endif()
  file(WRITE ${DIR}/${name}.fx "${broken}")
  execute_process(COMMAND ${CHECK} ${DIR}/${name}.fx RESULT_VARIABLE rc OUTPUT_VARIABLE out
                  ERROR_VARIABLE out)
  message("-- ${name}\n${out}")
  if(rc EQUAL 0)
    message(FATAL_ERROR "${name}: the check passed a broken effect")
  endif()
  if(NOT out MATCHES "${expected}")
    message(FATAL_ERROR "${name}: the check failed without saying: ${expected}")
  endif()
endfunction()

# A typo in an intrinsic, and a statement without its semicolon.
refused(typo "saturate\\(edge" "saturat(edge" "'saturat'.*DisplayPS \\(frag\\) does not compile")
refused(semicolon "output.colour = input.colour;" "output.colour = input.colour"
        "DisplayVS \\(vert\\) does not compile")
# A pass naming a function that does not exist (glslang itself only warns).
refused(entry "compile ps_2_0 RefractionPS" "compile ps_2_0 RefractPS"
        "RefractPS \\(frag\\) does not compile")
# A shader model the effect must not need, and a missing pass.
refused(profile "compile ps_2_0 DisplayPS" "compile ps_3_0 DisplayPS"
        "pass Display: pixel shader is not 'compile ps_2_0")
refused(one_pass "pass Display {[^}]*}" "" "technique Tracer has 1 passes, not 2")
