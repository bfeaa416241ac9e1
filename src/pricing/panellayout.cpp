#include "pricing/panellayout.h"

namespace {

bool endsWithRun(const QString &s, QChar c, int run)
{
    if (s.size() < run)
        return false;
    for (int i = s.size() - run; i < s.size(); ++i)
        if (s.at(i) != c)
            return false;
    return true;
}

PanelLayout onePass(const QString &typed, const PanelLayoutRules &rules)
{
    const QString in = typed.toUpper();
    const int maxRun = rules.cafe ? 2 : 3;
    PanelLayout out;
    for (int i = 0; i < in.size(); ++i) {
        if (rules.cafe && out.panels >= 4)
            break;
        const QChar ch = in.at(i);
        const QChar prev = i > 0 ? in.at(i - 1) : QChar();
        switch (ch.unicode()) {
        case 'T':
            if ((prev == QLatin1Char('L') || prev == QLatin1Char('R')) && !rules.transom && !rules.cafe) {
                out.text += ch;
                ++out.tposts;
            }
            break;
        case 'R':
            if (!endsWithRun(out.text, ch, maxRun) && !(rules.microMini && prev == ch)) {
                out.text += ch;
                ++out.panels;
            }
            break;
        case 'L':
            if (prev != QLatin1Char('R') && prev != QLatin1Char('C') && !endsWithRun(out.text, ch, maxRun)
                && !(rules.microMini && prev == ch)) {
                out.text += ch;
                ++out.panels;
            }
            break;
        case 'C':
            if (prev == QLatin1Char('L')) {
                out.text += ch;
                ++out.cpanels;
            }
            break;
        default:
            break;
        }
    }
    return out;
}

} // namespace

PanelLayout panelLayout(const QString &typed, const PanelLayoutRules &rules)
{
    PanelLayout layout = onePass(typed, rules);
    // Each pass only drops characters, so this ends.
    for (;;) {
        PanelLayout again = onePass(layout.text, rules);
        if (again.text == layout.text)
            break;
        layout = again;
    }
    layout.astragal = layout.text.contains(QLatin1String("LR")) || layout.text.contains(QLatin1String("LCR"));
    return layout;
}

AssemblyChoice assemblyChoice(int width, int height, bool widthEdited, Assembly current,
                              const AssemblyLimits &limits)
{
    AssemblyChoice choice;
    choice.ticked = current;
    // Wide shutters are better flat packed, though still offered assembled.
    if (widthEdited && width > 1750 && width <= 2600)
        choice.ticked = Assembly::FlatPack;
    const double area = double(width) * double(height);
    if (width <= limits.maxPreassembledWidth && area <= limits.flatPackArea) {
        choice.ticked = Assembly::PreAssembled;
        choice.flatAllowed = false;
    } else if (width > limits.flatPackWidth || area > limits.flatPackArea) {
        choice.ticked = Assembly::FlatPack;
        choice.preAllowed = false;
    } else if (choice.ticked == Assembly::None) {
        choice.ticked = Assembly::FlatPack;
    }
    return choice;
}
