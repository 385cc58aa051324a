# The instruction-set families the kernels are built for, the same for every
# library that has kernel tables. SSE2 needs no option of its own: x86-64
# has it, the 32-bit module is built with it and the lab's SIMD core adds
# it. AVX2 code is compiled with -mavx2 in its family's own files only, and
# runs only from tables whose CPU flags allow it. Included by each library's
# CMakeLists (also when the lab builds them on their own).
include(CheckCXXCompilerFlag)
check_cxx_compiler_flag(-mavx2 VARDELK_COMPILER_HAS_AVX2)

# vardelk_avx2_sources(target source...): builds these sources of the
# target with AVX2 and defines VARDELK_HAVE_AVX2 for the target's code;
# nothing where the compiler has no AVX2 or the target is not x86.
function(vardelk_avx2_sources target)
  if(VARDELK_COMPILER_HAS_AVX2 AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang" AND NOT EMSCRIPTEN)
    set_source_files_properties(${ARGN} PROPERTIES COMPILE_OPTIONS -mavx2)
    target_compile_definitions(${target} PRIVATE VARDELK_HAVE_AVX2)
  endif()
endfunction()
