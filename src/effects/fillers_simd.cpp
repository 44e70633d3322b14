// The fillers' AVX2 walks: the edge walker and span loop of fill_walk.h
// inlined whole, on the AVX2 lanes, into one function per rule for a triangle
// and one for a run of faces. choose_fill_kernels points every rule's walk
// kernels at them where the processor has AVX2, or at the plain walks.
#include "core/simd.h"
#include "effects/fill_lanes_simd.h"
#include "effects/fill_rules.h"
#include "effects/fill_walk.h"

namespace fill {
namespace {

#if VORN_AVX2
template <class Rule>
[[gnu::flatten]] VORN_TARGET_AVX2 void walk_one_avx2(const Rule& rule, const Corner& a,
                                                     const Corner& b, const Corner& c) {
    walk_one<Avx2Lanes<Rule::uses>>(rule, a, b, c);
}

template <class Rule>
[[gnu::flatten]] VORN_TARGET_AVX2 void walk_run_avx2(const Rule& rule, FaceRun run) {
    walk_run<Avx2Lanes<Rule::uses>>(rule, run);
}
#endif

// A rule that reads no attribute leaves only the column to carry, which the
// plain lanes do with less work; the others take the AVX2 walks where the
// processor has AVX2.
template <class Rule> void choose_one() {
    fill_one_kernel<Rule> = walk_one_plain<Rule>;
#if VORN_AVX2
    if constexpr (Rule::uses != 0)
        if (use_simd && use_avx2) fill_one_kernel<Rule> = walk_one_avx2<Rule>;
#endif
}

template <class Rule> void choose_run() {
    fill_run_kernel<Rule> = walk_run_plain<Rule>;
#if VORN_AVX2
    if constexpr (Rule::uses != 0)
        if (use_simd && use_avx2) fill_run_kernel<Rule> = walk_run_avx2<Rule>;
#endif
}

// A textured rule on each fetch of three-byte texels the set-ups choose.
template <template <class> class Rule> void choose_one_rgb() {
    choose_one<Rule<WideTexels>>();
    choose_one<Rule<Texels<3, false>>>();
    choose_one<Rule<Texels<3, true>>>();
}

} // namespace
} // namespace fill

// Every rule the set-ups of fillers.cpp draw with; the textured shaded ones
// also walk runs of faces.
void choose_fill_kernels() {
    using namespace fill;
    choose_one<DepthOnlyRule>();
    choose_one<GouraudRule>();
    choose_one_rgb<TexturedRule>();
    choose_one_rgb<TexturedShadedRule>();
    choose_one_rgb<TranslucentRule>();
    choose_one_rgb<KeyedTranslucentRule>();
    choose_one<AdditiveRule<Texels<1, false>>>();
    choose_one<AdditiveRule<Texels<1, true>>>();
    choose_run<TexturedShadedRule<WideTexels>>();
    choose_run<TexturedShadedRule<Texels<3, false>>>();
    choose_run<TexturedShadedRule<Texels<3, true>>>();
}
