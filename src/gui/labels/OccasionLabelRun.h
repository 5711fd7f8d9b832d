#pragma once
// The interactive label runs started from the occasions page: OccasionLabelRun for an occasion,
// SelectedLabelRun for recipients picked one by one. They ask for the span, the picks and the
// print options through Installed<LabelRunDialogs> (gui/labels/LabelRunDialogs.h: the program's
// dialogs unless a test installs its own), then hand over to LabelRun (core/labels/LabelGen.h).

#include <QString>
#include <vector>

#include "core/labels/LabelGen.h"

class Printer;

// The text naming occasion n (1 to 9) as the occasions list shows it.
QString OccasionName(int n);
// After a run that printed: asks whether its recipients got a card for occasion n in `year`
// ("Mark these N recipients as sent a card for Christmas / Chanukah 2026?", Yes / No, No the
// default) and on Yes logs them (CardsMarkSent), telling the user when the log cannot be
// written. The runs give the year the occasion next comes round (CardYear, Occasions.h).
void OfferMarkSent(int n, const std::vector<CardPick>& picks, int year);

// The label run for occasion n (1 to 9) from the occasions page; everything it shows is modal.
void OccasionLabelRun(int n);
// Occasion 9: the recipients picked one by one.
void SelectedLabelRun();
// The printing pass of OccasionLabelRun, after the options: occasion 1 to 8 onto `printer`.
// Returns the labels placed; failures are told to the user. A run that printed offers to log
// its recipients (OfferMarkSent).
// With `households`, one label per household (LabelRun::setHouseholds).
long long PrintOccasionLabels(int n, Printer& printer, int startColumn, int startRow, bool households = false);
// The printing pass of SelectedLabelRun: the picked SelectionList onto `printer` (AddrBook open),
// telling failures to the user and offering to log the recipients.
void PrintSelectedLabels(Printer& printer, int startColumn, int startRow, bool households = false);
