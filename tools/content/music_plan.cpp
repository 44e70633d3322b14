// The plan of the show's module, order by order (music_plan.h).
#include "music_plan.h"

const Layers BREAK_CALM{DRUMS_NONE, BASS_LONG, true, ARP_NONE, LEAD_NONE};

namespace {

const Key A_MINOR{58, true};
const Key F_MAJOR{54, false};

// Chords of A minor and of F major.
const Chord Am{0, false}, C{2, false}, Dm{3, false}, Em{4, false}, E{4, true}, F{5, false},
    G{6, false};
const Chord F_I{0, false}, Gm_ii{1, false}, Am_iii{2, false}, Bb_IV{3, false}, C_V{4, false},
    Dm_vi{5, false};

const Layers INTRO{DRUMS_NONE, BASS_NONE, true, ARP_QUARTERS, LEAD_NONE};
const Layers OPENING{DRUMS_FILTERED, BASS_FILTERED, true, ARP_QUARTERS, LEAD_NONE};
const Layers BUILD{DRUMS_BUILD, BASS_BUILD, true, ARP_EIGHTHS, LEAD_NONE};
const Layers BREAK_ARP{DRUMS_NONE, BASS_LONG, true, ARP_EIGHTHS, LEAD_NONE};
const Layers THEME{DRUMS_FULL, BASS_MAIN, true, ARP_NONE, LEAD_THEME};
const Layers VARIATION{DRUMS_FULL, BASS_MAIN, true, ARP_EIGHTHS, LEAD_VARIATION};
const Layers NEW_LINE{DRUMS_FULL, BASS_MAIN, true, ARP_QUARTERS, LEAD_NEW};
const Layers BREAKDOWN{DRUMS_NONE, BASS_LONG, true, ARP_NONE, LEAD_ECHO};
const Layers GROOVE_LIGHT{DRUMS_LIGHT, BASS_LIGHT, false, ARP_EIGHTHS, LEAD_CALL};
const Layers GROOVE_HARD{DRUMS_HARD, BASS_HARD, true, ARP_NONE, LEAD_RIFF, 78};
const Layers DRIVING{DRUMS_DRIVING, BASS_DRIVE, true, ARP_SIXTEENTHS, LEAD_NONE};
const Layers SECOND{DRUMS_SECOND, BASS_SECOND, true, ARP_QUARTERS, LEAD_SECOND};
const Layers CLIMAX{DRUMS_CLIMAX, BASS_DRIVE, true, ARP_SIXTEENTHS, LEAD_CLIMAX};
const Layers CLIMAX_COUNTER{DRUMS_CLIMAX, BASS_DRIVE, true, ARP_SIXTEENTHS, LEAD_COUNTER};
const Layers REPRISE{DRUMS_FULL, BASS_MAIN, true, ARP_EIGHTHS, LEAD_THEME};
const Layers SILENT{DRUMS_NONE, BASS_NONE, false, ARP_NONE, LEAD_NONE};

} // namespace

bool same_layers(const Layers& a, const Layers& b) {
    return a.drums == b.drums && a.bass == b.bass && a.pad == b.pad && a.arp == b.arp &&
           a.lead == b.lead && a.weight == b.weight;
}

bool same_layers(const OrderPlan& a, const OrderPlan& b) {
    return same_layers(a.half[0], b.half[0]) && same_layers(a.half[1], b.half[1]);
}

OrderPlan plan_order(int order) {
    const Chord theme[3][4] = {{Am, F, C, G}, {Am, F, G, E}, {Dm, G, C, E}};
    const Chord variation[3][4] = {{Am, Dm, G, C}, {F, Dm, E, E}, {Am, Dm, F, E}};
    const Chord second[6][4] = {{F_I, C_V, Dm_vi, Bb_IV}, {F_I, C_V, Bb_IV, C_V},
                                {Dm_vi, Bb_IV, F_I, C_V}, {Gm_ii, Bb_IV, C_V, C_V},
                                {F_I, C_V, Dm_vi, Bb_IV}, {Bb_IV, C_V, Dm_vi, C_V}};
    const Chord climax[3][4] = {
        {F_I, C_V, Dm_vi, Bb_IV}, {Gm_ii, C_V, Am_iii, Dm_vi}, {Bb_IV, C_V, Dm_vi, Dm_vi}};
    auto plan = [](Key key, const Chord(&chords)[4], Layers first, Layers second_half,
                   std::vector<int> hits = {}, Special special = SPECIAL_NONE) {
        OrderPlan p{key,
                    {chords[0], chords[1], chords[2], chords[3]},
                    {first, second_half},
                    std::move(hits),
                    special};
        return p;
    };
    const Chord intro[4] = {Am, F, C, G};
    if (order <= 1) return plan(A_MINOR, intro, INTRO, INTRO);
    if (order <= 3) return plan(A_MINOR, intro, OPENING, OPENING);
    if (order == 4) return plan(A_MINOR, {Dm, Am, F, E}, BUILD, BUILD, {5, 37});
    if (order == 5) return plan(A_MINOR, {Dm, Am, F, E}, BUILD, BUILD, {5, 33});
    if (order == 6) return plan(A_MINOR, {F, F, E, E}, BREAK_CALM, BREAK_ARP, {}, SPECIAL_RISER);
    if (order <= 9) return plan(A_MINOR, theme[order - 7], THEME, THEME, {0});
    if (order <= 12)
        return plan(A_MINOR, variation[order - 10], VARIATION, VARIATION, {8, 24, 40, 56});
    if (order <= 15) return plan(A_MINOR, theme[order - 13], NEW_LINE, NEW_LINE, {0});
    if (order == 16) return plan(A_MINOR, {F, G, Em, Am}, BREAKDOWN, BREAKDOWN);
    if (order <= 26) {
        const Chord greet[2][4] = {{Am, F, C, G}, {Dm, F, G, E}};
        return plan(A_MINOR, greet[order % 2], GROOVE_LIGHT, GROOVE_HARD, {32});
    }
    if (order <= 28) {
        const Chord drive[2][4] = {{Am, Am, F, G}, {Am, Am, E, E}};
        return plan(A_MINOR, drive[order - 27], DRIVING, DRIVING, {0});
    }
    if (order <= 34) return plan(F_MAJOR, second[order - 29], SECOND, SECOND, {0});
    if (order <= 36) return plan(F_MAJOR, climax[order - 35], CLIMAX, CLIMAX); // crash a bar
    if (order == 37) return plan(F_MAJOR, climax[2], CLIMAX_COUNTER, CLIMAX_COUNTER);
    if (order == 38) return plan(A_MINOR, {F, G, Dm, E}, CLIMAX_COUNTER, CLIMAX_COUNTER);
    if (order <= 40) return plan(A_MINOR, theme[order - 39], REPRISE, REPRISE, {0});
    if (order == 41) return plan(A_MINOR, {F, Dm, E, Am}, REPRISE, REPRISE, {}, SPECIAL_CADENCE);
    return plan(A_MINOR, {Am, Am, Am, Am}, SILENT, SILENT, {}, SPECIAL_FINAL);
}

// The arc: percent of the parts' volumes at which each order is written
// (capped at 64; hits are always at full volume), rising by `rise` an order
// from `level` at a section's first order. The build rises into the break;
// the breakdown drops well below the theme; the greetings stay below the
// second theme, which rises order by order into the climax, the loudest
// stretch.
int order_level(int order) {
    static const struct {
        int first_order, last_order, level, rise;
    } LEVELS[] = {{0, 1, 58, 0},   {2, 3, 56, 0},    {4, 5, 60, 8},    {6, 6, 32, 0},
                  {7, 15, 90, 0},  {16, 16, 54, 0},  {17, 26, 100, 0}, {27, 28, 96, 0},
                  {29, 34, 70, 6}, {35, 38, 112, 8}, {39, 41, 94, 0}};
    for (const auto& l : LEVELS)
        if (order <= l.last_order) return l.level + l.rise * (order - l.first_order);
    return 100;
}

// Percent of the kick's and the bass's volumes on top of the level: the
// climax gets its weight from the bright parts, which cost less peak, and
// lets the low ones in order by order, where the bright ones reach full volume.
int order_low_level(int order) {
    return order >= 35 && order <= 38 ? 58 + 10 * (order - 35) : 100;
}
