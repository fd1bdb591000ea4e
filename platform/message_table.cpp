#include "platform/messages.h"

namespace tavrelo {

namespace {

// clang-format off
const MessageEntry kTable[kMessageCount] = {
    /* 0 */ {u"This executable file is not complet", u"Ce fichier exécutable est incomplet.", u"Can't continue", u"Impossible de continuer"},
    /* 1 */ {u"Java %s isn't installed !\n\nDo you want to install it ?", u"Java %s n'est pas installé !\n\nVoulez-vous l'installer ?", u"Java Runtime Environment (JRE)", u"Java Runtime Environment (JRE)"},
    /* 2 */ {u"Icon not found", u"Icone introuvable", u".ICO", u".ICO"},
    /* 3 */ {u".EXE file not found", u"Fichier .EXE introuvable", u".EXE", u".EXE"},
    /* 4 */ {u"\"%s\" isn't an icon file", u"\"%s\" n'est pas une icone", u".ICO", u".ICO"},
    /* 5 */ {u"Can't run the JVM", u"Impossible de lancer la JVM", u"JVM", u"JVM"},
    /* 6 */ {u"Can't find main class \"%S\"", u"Classe principale \"%S\" introuvable", u"JVM", u"JVM"},
    /* 7 */ {u"Can't find class \"%S\"", u"Classe \"%S\" introuvable", u"JVM", u"JVM"},
    /* 8 */ {u"Can't find main method", u"Méthode \"main\" introuvable", u"JVM", u"JVM"},
    /* 9 */ {u"Do you want to install this program as Windows service ?", u"Voulez-vous installer l'application en tant que service Windows ?", u"Windows Service", u"Service Windows"},
    /* 10 */ {u"The service has created, do you want to start it ?", u"Le service est créé, voulez-vous le lancer ?", u"Windows Service", u"Service Windows"},
    /* 11 */ {u"The service has already installed.\nDo you want to delete it ?", u"Le service est déjà installé.\nVoulez-vous le supprimer ?", u"Windows Service", u"Service Windows"},
    /* 12 */ {u"You don't have privileges to install a service", u"Vous n'avez pas les droits pour installer un service", u"Windows Service", u"Service Windows"},
    /* 13 */ {u"Do you want to install this program as ControlPanel ?", u"Voulez-vous installer l'application en tant que ControlPanel ?", u"Control Panel", u"Control Panel"},
    /* 14 */ {u"The ControlPanel has already installed.\nDo you want to delete it ?", u"Le ControlPanel est déjà installé.\nVoulez-vous le supprimer ?", u"Control Panel", u"Control Panel"},
    /* 15 */ {u"%dx%d (%d colors)", u"%dx%d (%d couleurs)", u"", u""},
    /* 16 */ {u"This file contains %d icon(s) :\n\n%s", u"Ce fichier contient %d icone(s) :\n\n%s", u".ICO", u".ICO"},
    /* 17 */ {u"The icon file %s was not found", u"Le fichier d'icone %s est introuvable", u".ICO", u".ICO"},
    /* 18 */ {u"\"%s\" isn't an image file", u"\"%s\" n'est pas un fichier image", u"Image", u"Image"},
    /* 19 */ {u"Integration of image\n\t%s\nto\n\t%s\n\nas startup screen", u"Intégration de l'image\n\t%s\nvers\n\t%s\n\nen tant qu'écran de démarrage", u"Image", u"Image"},
    /* 20 */ {u"This file contains the properties :\n\n%s", u"Ce fichier contient les properties :\n\n%s", u".PROPERTIES", u".PROPERTIES"},
    /* 21 */ {u"This executable file is not Tavrelo", u"Ce fichier exécutable n'est pas Tavrelo.", u"Tavrelo", u"Tavrelo"},
    /* 22 */ {u"This image has the format :\n\n%dx%d (%d bits)", u"Cette image a le format :\n\n%dx%d (%d bits)", u"Image", u"Image"},
    /* 23 */ {u"Target files not specified", u"Fichiers destinations non spécifiés", u"Tavpack", u"Tavpack"},
    /* 24 */ {u"Source files not specified", u"Fichiers sources non spécifiés", u"Tavpack", u"Tavpack"},
    /* 25 */ {u"This file is already open :\n\n%s", u"Ce fichier est déjà ouvert :\n\n%s", u"Tavpack", u"Tavpack"},
    /* 26 */ {u"You must rename Tavrelo with the same name of your main .CLASS or .JAR\n\nPlease consult the documentation at ",
              u"Vous devez renommer Tavrelo selon le nom de votre .CLASS ou .JAR principal.\n\nVeuillez consulter la documentation à ", u"Tavrelo", u"Tavrelo"},
    /* 27 */ {u"These files :\n%s\nhave been successfully integrated into :\n%s", u"Ces fichiers :\n\n%s\nont été correctement intégrés dans :\n\n%s", u"Tavpack", u"Tavpack"},
    /* 28 */ {u"Do you want to install this program as ScreenSaver ?", u"Voulez-vous installer l'application en tant que ScreenSaver ?", u"ScreenSaver", u"ScreenSaver"},
    /* 29 */ {u"The ScreenSaver has already installed.\nDo you want to delete it ?", u"Le ScreenSaver est déjà installé.\nVoulez-vous le supprimer ?", u"ScreenSaver", u"ScreenSaver"},
    /* 30 */ {u"The ScreenSaver can't run :\nyou must declare the \"scrsvPaint()\" method", u"Le ScreenSaver ne peut pas se lancer :\nvous devez déclarer la méthode \"scrsvPaint()\"", u"ScreenSaver", u"ScreenSaver"},
    /* 31 */ {u"The JVM used is intended for %s\nBut this executable is %s.", u"La JVM utilisée est prévue pour une architecture %s\nMais cet exécutable est en %s.", u"JVM", u"JVM"},
};
// clang-format on

} // namespace

const MessageEntry* messageEntry(int number) noexcept {
    return (number >= 0 && number < kMessageCount) ? &kTable[number] : nullptr;
}

} // namespace tavrelo
