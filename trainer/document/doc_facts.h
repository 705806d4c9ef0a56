#pragma once
// What a practice document, its event and its shots say of themselves, read through the document
// model; the document wrapper answers its getters with these.
#include "kavrodoc.h"

#include <QString>

bool isValidDocument(IKavroDocument* doc);
// A document value held as a string; false for a missing document or any other type.
bool documentString(IKavroDocument* doc, const QString& key, QString* out);
// The "_position" value in the interface language ("prone", "standing", "kneeling"), any other
// value as stored.
bool positionNameOf(IKavroDocument* doc, QString* out);
// The event is shot in three positions (its "_three_positions" value).
bool isThreePositions(IEventParams* event);
// Some shot's trace carries trigger values.
bool anyShotHasTriggerData(IShotCollection* shots);
// Every shot, or every match shot, counting the hidden ones whatever the lists show.
int shotCountWithHidden(IAimingCollection* aimings, bool matchOnly);
