#include "practice_autosave.h"

#include "app_options.h"
#include "kavro_doc.h"
#include "practice_rules.h"

void PracticeAutosave::aimingFinal()
{
    const kavro::AppOptions& options = kavro::theAppOptions();
    if (!kavro::practice::autoSaveDue(options.EnableAutoSaveAfterShot, matchShotsSinceSave_, options.AutoSaveAfterShot))
        return;
    matchShotsSinceSave_ = 0;
    doc_.Save();
}
