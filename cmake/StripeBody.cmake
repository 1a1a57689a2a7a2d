# include(StripeBody.cmake), then talvex_stripe_body(FRAGMENT OUT_VAR): the program's
# stripe fragment program (src/render/shaders/stripe.frag) as a function body that a
# compositor's shader calls, so that every compositor stripes with the program's own
# text (never a second copy). Its inputs become uniforms the caller declares
# (patternscale, showRed, showGreen) and globals the caller sets before the call
# (talvexSampled: the colour; talvexFragCoord: the pixel's centre from the picture's
# lower-left corner); the result is left in talvexStriped by `void talvexStripes()`.
# Finding is always built in (the program builds it only into a second program): a
# compositor switches it with the `finding` uniform.
# Each replacement must find its text, else the build stops rather than ship stripes
# that differ from the program's.

function(talvex_replace_checked text from to out)
  string(FIND "${${text}}" "${from}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "stripe.frag no longer holds '${from}': update cmake/StripeBody.cmake")
  endif()
  string(REPLACE "${from}" "${to}" result "${${text}}")
  set(${out} "${result}" PARENT_SCOPE)
endfunction()

function(talvex_stripe_body fragment out)
  file(READ "${fragment}" frag)
  foreach(line "uniform sampler2D videoframe;\n" "varying vec2 coordinate;\n"
               "varying float patternscale;\n" "varying float showRed;\n"
               "varying float showGreen;\n")
    talvex_replace_checked(frag "${line}" "" frag)
  endforeach()
  foreach(line "#ifdef TALVEX_FINDING\n" "#endif\n")
    talvex_replace_checked(frag "${line}" "" frag)
  endforeach()
  talvex_replace_checked(frag "texture2D(videoframe, coordinate)" "talvexSampled" frag)
  talvex_replace_checked(frag "gl_FragCoord" "talvexFragCoord" frag)
  talvex_replace_checked(frag "gl_FragColor" "talvexStriped" frag)
  talvex_replace_checked(frag "void main()" "void talvexStripes()" frag)
  set(${out} "${frag}" PARENT_SCOPE)
endfunction()
