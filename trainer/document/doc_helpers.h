#pragma once
// Computations over documents and events that the views share with the document wrapper.
#include "kavrodoc.h"
#include "target_kind.h"

#include <QString>
#include <vector>

// Collections hold 1-based items; these give the count and an item, or 0 / null.
int countOf(IShotCollection* shots);
int countOf(IAimingCollection* aimings);
ComPtr<IShot> shotAt(IShotCollection* shots, int index);
ComPtr<IAiming> aimingAt(IAimingCollection* aimings, int index);
bool isMissed(IShot* shot);
bool isHidden(IShot* shot);
// The target of the event a shot or an aiming was scored on (the SubTarget of its attributes); 1
// when it tells none.
int shotSubTarget(IShot* shot);
int aimingSubTarget(IAiming* aiming);

// Pulse samples kept as named values ("_pulse_fi" .. "_pulse_li"): the heart pulse with the
// document, the heart beats (their "_pulse_min%i" / "_pulse_max%i" bounds) with an aiming's
// attributes.
int GetAttrPulseCount(IKavroDocument* holder);
int GetAttrPulseCount(IAimingAttr* holder);
bool GetPulseMinMax(IKavroDocument* holder, int i, DATE* min, DATE* max);
bool GetPulseMinMax(IAimingAttr* holder, int i, DATE* min, DATE* max);

// 0..100: how even the intervals between the non-missed shots are.
float ComputeIntervalStability(IShotCollection* shots);
// Hidden shots count only with `includeHidden`, as the wrapper shows them.
float ComputeAimingIntervalStability(IAimingCollection* aimings, bool includeHidden);

// Event list order: larger distance first, then display name ascending.
bool CompareEvents(IEventParams* a, IEventParams* b, int langId);

// The event's name in the interface language (else Name, else ShortName) with its calibre.
QString FormatEventName(IEventParams* event, int langId);

// "hh:mm:ss", or "mm:ss" when the hours are 0 and shortForm is set.
QString AppendElapsedTime(double days, bool shortForm);

// None without an event or its short name.
TargetKind::Kind targetKindOf(IEventParams* event);

// True when every shot's time is later than the one before, starting after 1970-01-02.
bool shotTimesStrictlyIncreasing(IShotCollection* shots);
