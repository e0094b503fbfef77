#include "config/install.h"

#include "core/config_record.h"
#include "core/session_state.h"
#include "core/user_contact.h"
#include "foundation/logging.h"
#include "foundation/threads.h"
#include "foundation/utilities.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <gtk/gtk.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

const char* const iv__copynames[] = {
    "GPRS.exe",       "_GPRS.exe",      "GPRS_.exe",    "_GPRS_.exe",    "UMTS.exe",
    "_UMTS.exe",      "UMTS_.exe",      "_UMTS_.exe",   "UMTSGPRS.exe",  "_UMTSGPRS.exe",
    "UMTSGPRS_.exe",  "_UMTSGPRS_.exe", "GPRSUMTS.exe", "_GPRSUMTS.exe", "GPRSUMTS_.exe",
    "_GPRSUMTS_.exe", "CONN.exe",       "_CONN.exe",    "CONN_.exe",     "_CONN_.exe",
    "CONTROL.exe",    "CONFIG.exe",     "PROFILE.exe",  "GPRS",          "UMTS",
    "UMTSGPRS",       "GPRSUMTS",       "CONN",         "CONTROL",       "CONFIG",
    "PROFILE"};
const int iv__copynamecount = sizeof iv__copynames / sizeof iv__copynames[0];
static_assert(sizeof iv__copynames / sizeof iv__copynames[0] == 31);

// Copies are made from the file the process runs, whatever name it was started under.
const char* iv__programfile = "/proc/self/exe";

namespace {

constexpr const char* manual_de = "mavlyn_Anleitung.pdf";
constexpr const char* manual_en = "mavlyn_Manual.pdf";

bool make_executable(const char* f) {
    return file_makerw(f, true);
}

void install_error() {
    me_messagebox(0, T("mavlyn   Installationsfehler", "mavlyn   Installation Error"),
                  T("Bei der Installation ist ein Fehler aufgetreten.  \nMöglicherweise liegt "
                    "das an nicht ausreichenden  \nZugriffsrechten. Bitte versuchen Sie, das "
                    "Programm  \ngemäß Anleitung Schritt für Schritt zu installieren.  ",
                    "While installing, an error has occured.  \nA possible reason could be "
                    "insufficient access rights.  \nPlease retry installation step by step and "
                    "follow the manual.  "),
                  2, 0, 0);
}

bool starts_with(const char* s, const char* p) {
    return strncmp(s, p, strlen(p)) == 0;
}

// The absolute path of the program as invoked (links are placed pointing at it).
std::string invocation_path() {
    const char* a = _argc > 0 && _argv && _argv[0] ? _argv[0] : "";
    char buf[PATH_MAX];
    if (strchr(a, '/') && realpath(a, buf)) return buf;
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n > 0) {
        buf[n] = 0;
        return buf;
    }
    return a;
}

// Folder chooser for the manual installation; "" when cancelled.
std::string choose_folder() {
    std::string result;
    th_enter();
    GtkWidget* dlg = gtk_file_chooser_dialog_new(
        T("Bitte Zielort wählen:", "Please select installation position:"), nullptr,
        GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, "gtk-cancel", GTK_RESPONSE_CANCEL, "gtk-open",
        GTK_RESPONSE_ACCEPT, nullptr);
    gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(dlg), g_get_home_dir());
    if (gtk_dialog_run(GTK_DIALOG(dlg)) == GTK_RESPONSE_ACCEPT) {
        if (gchar* f = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dlg))) {
            result = f;
            g_free(f);
        }
    }
    gtk_widget_destroy(dlg);
    th_leave();
    return result;
}

} // namespace

bool iv__samefile(const char* a, const char* b) {
    struct stat sa, sb;
    return stat(a, &sa) == 0 && stat(b, &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

bool iv__placeprogram(const char* invocation, const char* target, bool german, bool sysdir) {
    std::string t = target;
    const char* mine = german ? manual_de : manual_en;
    const char* other = german ? manual_en : manual_de;
    if (sysdir) {
        for (const char* link : {"mavlyn", "CONFIG"}) {
            std::string l = t + link;
            if (l == invocation) continue;
            if (!symlink_create(invocation, l.c_str(), false)) return false;
        }
        if (chdir("/usr/share/mavlyn") != 0 && chdir("/usr/local/share/mavlyn") != 0) return false;
        std::string src = std::string("/usr/share/mavlyn/") + mine;
        if (!symlink_create(src.c_str(), (t + mine).c_str(), false)) {
            src = std::string("/usr/share/mavlyn/") + other;
            if (!symlink_create(src.c_str(), (t + other).c_str(), false)) return false;
        }
    } else {
        std::string prog = t + "mavlyn";
        if (!iv__samefile(invocation, prog.c_str())) {
            if (!file_copy(invocation, prog.c_str(), false)) return false;
        }
        if (!make_executable(prog.c_str())) return false;
        const char* copied = mine;
        if (!file_copy(mine, (t + mine).c_str(), false)) {
            copied = other;
            if (!file_copy(other, (t + other).c_str(), false)) return false;
        }
        file_makerw((t + copied).c_str(), false);
    }
    std::string s = t + settingsdatei;
    if (file_exists(settingsdatei) && !iv__samefile(settingsdatei, s.c_str()) &&
        file_copy(settingsdatei, s.c_str(), false))
        file_makerw(s.c_str(), false);
    return true;
}

bool iv__startsecondstep(const char* target, bool german) {
    if (chdir(target) != 0 || !file_exists("./mavlyn")) return false;
    return system(german ? "./mavlyn INSTALLSUB_D &" : "./mavlyn INSTALLSUB_E &") == 0;
}

bool iv__firstinstall() {
    int lang = ce_inputdialog(ce_LANGUAGE, "mavlyn   Installation", "", nullptr);
    if (lang != 1 && lang != 2) return false;
    _de = lang == 1;
    std::string inv = invocation_path();
    const char* p = inv.c_str();
    if (!starts_with(p, "/home/") && !starts_with(p, "/root/") && !starts_with(p, "/usr/bin/") &&
        !starts_with(p, "/usr/share/mavlyn/") && file_exists("/usr/bin/mavlyn")) {
        char text[900];
        snprintf(text, sizeof text,
                 T("|i#mavlyn   Update#mavlyn ist auf diesem System bereits als Programm-\nPaket "
                   "installiert worden. Um ein Update auf die\nVersion 0.4 durchzuführen, muss "
                   "das folgende\nKommando per Linux-Terminal eingegeben werden:\n\nsudo cp %s "
                   "/usr/bin/mavlyn|0#Abbrechen",
                   "|i#mavlyn   Update#mavlyn has already been installed as program\npackage on "
                   "this System. To perform an update\nto version 0.4, please enter this "
                   "command\nat a Linux terminal:\n\nsudo cp %s /usr/bin/mavlyn|0#Cancel"),
                 p);
        bd_buttondialog(text, 0);
        return false;
    }
    if (me_messagebox(
            0, T("mavlyn   Haftung", "mavlyn   Liability"),
            T("Hinweis:  \n\nmavlyn ist Freeware, das heißt, das Programm darf  \nunentgeltlich "
              "verwendet werden.  \n\nTrotz großer Sorgfalt bei der Programmierung kann  \nvom "
              "Autor keine Garantie für fehlerfreien Betrieb  \nübernommen werden.  \nWir bitten "
              "um Verständnis, dass die Haftung so weit  \nals gesetzlich zulässig ausgeschlossen "
              "ist.  ",
              "Please note:  \n\nmavlyn is freeware, i.e. you can use it for free. That does  "
              "\nnot apply to your Internet access account, of course.  \n\nDespite of great "
              "effort in prgramming, the author cannot  \nguarantee flawless program operations. "
              " \nTherfore liability is excluded as far as permitted by law.  "),
            3, 2, 0) != 1)
        return false;
    int mode = bd_buttondialog(
        T("|q#mavlyn   Installation/Update#Bitte die Art der Installation bzw. des Updates "
          "wählen\n(Dateien im Zielverzeichnis werden aktualisiert).|+1#Standard#Standard-"
          "Verzeichnis\n\"~/mavlyn\" verwenden.|2#Manuell#Installationsverzeichnis\nmanuell "
          "auswählen.|0#Abbrechen#Installation bzw.\nUpdate abbrechen.",
          "|q#mavlyn   Installation/Update#Please choose the mode of installation resp. "
          "update\n(files in the chosen directory will be updated).|+1#Standard#Directory "
          "\"~/mavlyn\"\nshall be used.|2#Manuell#Installation directory\nshall be chosen "
          "manually.|0#Cancel#Cancel installation\nresp. update."),
        0);
    std::string target;
    if (mode == 1)
        target = std::string(g_get_home_dir()) + "/mavlyn";
    else if (mode == 2)
        target = choose_folder();
    if (target.empty() || target.size() > 798) return false;
    dir_create(target.c_str());
    file_makerw(target.c_str(), false);
    target += '/';
    if (!iv__placeprogram(p, target.c_str(), _de, ubuntusysdir) ||
        !iv__startsecondstep(target.c_str(), _de))
        install_error();
    return false;
}

int iv__updateexisting(char* failed, size_t n) {
    if (n) failed[0] = 0;
    int found = 0;
    for (int i = 0; i < iv__copynamecount; i++) {
        const char* c = iv__copynames[i];
        struct stat st;
        if (lstat(c, &st) != 0) continue;
        found++;
        // A link to the program itself is already up to date; copying onto it would empty it.
        if (iv__samefile(c, iv__programfile)) continue;
        if (found == 1) {
            make_executable(c);
            file_copy(c, "mavlyn_downdate", false);
            make_executable("mavlyn_downdate");
        }
        make_executable(c);
        if (!file_copy(iv__programfile, c, false)) {
            if (n) strmcpy(failed, c, n);
            continue;
        }
        make_executable(c);
    }
    return found;
}

int iv__updatecopies() {
    if (!file_exists(inidatei)) return 0;
    const char* first = nullptr;
    for (int i = 0; i < iv__copynamecount && !first; i++) {
        struct stat st;
        if (lstat(iv__copynames[i], &st) == 0) first = iv__copynames[i];
    }
    if (!first) return 0;
    if (!_silentinstall) {
        char text[900];
        snprintf(text, sizeof text,
                 "Zum Start der Internetverbindung klicken Sie bitte auf \"Nein\"  \nund "
                 "verwenden eine Programmkopie mit Betriebsart-Name,  \nz.B. \"%s\".  \n\nFalls "
                 "Sie ein Programm-Update auf die Version %s  \nvornehmen wollen, klicken Sie "
                 "auf \"Ja\".  \n\n\n\nTo start an Internet connection, please klick \"No\" and "
                 "use  \nthe executables, named by mode of operation,  \ne.g. \"%s\".  \n\nIf "
                 "you want to update all programs to version \"%s\",  \nklick \"Yes\".  ",
                 first, MAVLYN_VERSION, first, MAVLYN_VERSION);
        if (me_messagebox(0, "mavlyn   Update", text, 3, 2, 0) != 1) return -1;
    }
    char failed[40];
    iv__updateexisting(failed, sizeof failed);
    if (failed[0]) {
        char text[600];
        snprintf(text, sizeof text,
                 "Das Programmexemplar \"%s\" konnte nicht  \nupgedatet werden. Bitte beenden "
                 "Sie zuerst dieses  \nProgrammexemplar und versuchen es dann noch einmal.  "
                 "\n\n\nCould not update the running program \"%s\".  \nPlease, stop this "
                 "program and retry the update.  ",
                 failed, failed);
        me_messagebox(0, "mavlyn   Update", text, 2, 0, 0);
        return -1;
    }
    if (!_silentinstall)
        me_messagebox(0, "mavlyn   Update", "Update complete.  \n\nUpdate abgeschlossen.  ", 1, 0,
                      0);
    return -1;
}

bool iv__createcopies() {
    static constexpr const char* copies[] = {"CONFIG", "GPRS", "UMTS", "UMTSGPRS"};
    bool ok = true;
    for (const char* c : copies) {
        if (iv__samefile(c, iv__programfile)) {
            ok = true;
            continue;
        }
        file_makerw(c, true);
        ok = file_copy(iv__programfile, c, false) && make_executable(c);
    }
    if (ok) return true;
    me_messagebox(0, T("mavlyn   Programmexemplarerstellung", "mavlyn   Program Copy Creation"),
                  T("Das Erzeugen von Kopien ist fehlgeschlagen.\nBitte kopieren Sie die "
                    "Programmdatei auf ein\nLaufwerk, das nicht schreibgeschützt ist, und\nstarten "
                    "sie das Programm von dort.",
                    "File creation failed.\nPlease copy the program file to\na drive or directory "
                    "wich is not  \nwrite protected and try again."),
                  2, 0, 0);
    return false;
}

namespace {

// Everything inside the open folder dirfd, never following a link and never into another file
// system; false when something stayed.
bool remove_contents(int dirfd, int depth) {
    struct stat here;
    if (depth > 64 || fstat(dirfd, &here) != 0) return false;
    int fd = dup(dirfd);
    DIR* d = fd >= 0 ? fdopendir(fd) : nullptr;
    if (!d) {
        if (fd >= 0) close(fd);
        return false;
    }
    bool all = true;
    while (dirent* e = readdir(d)) {
        if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0) continue;
        struct stat st;
        if (fstatat(dirfd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            all = false;
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            int sub =
                st.st_dev == here.st_dev
                    ? openat(dirfd, e->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)
                    : -1;
            bool emptied = sub >= 0 && remove_contents(sub, depth + 1);
            if (sub >= 0) close(sub);
            all = emptied && unlinkat(dirfd, e->d_name, AT_REMOVEDIR) == 0 && all;
        } else {
            all = unlinkat(dirfd, e->d_name, 0) == 0 && all;
        }
    }
    closedir(d);
    return all;
}

} // namespace

bool iv__removeuserfolder(const char* home) {
    std::string folder = std::string(home) + "/mavlyn";
    int h = open(home, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    int m = h >= 0 ? openat(h, "mavlyn", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC) : -1;
    struct stat hs, ms;
    bool own = m >= 0 && fstat(h, &hs) == 0 && fstat(m, &ms) == 0 && ms.st_uid == hs.st_uid;
    bool removed = false;
    if (own) {
        lo_slog("Removal: %s\n", folder.c_str(), -1);
        removed = remove_contents(m, 0) && unlinkat(h, "mavlyn", AT_REMOVEDIR) == 0;
        if (!removed) lo_slog("Removal: \"%s\" failed.\n", folder.c_str(), -1);
    } else if (h >= 0 && faccessat(h, "mavlyn", F_OK, AT_SYMLINK_NOFOLLOW) == 0) {
        lo_slog("Removal: %s is no folder of its user; left alone.\n", folder.c_str(), -1);
    }
    if (m >= 0) close(m);
    if (h >= 0) close(h);
    return removed;
}

void iv__runremove(const char* homes, const char* roothome) {
    // As the shell's "/home/*": every visible entry; links and files fall out above.
    if (DIR* d = opendir(homes)) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.')
                iv__removeuserfolder((std::string(homes) + "/" + e->d_name).c_str());
        closedir(d);
    }
    iv__removeuserfolder(roothome);
}

void iv_debianremove() {
    int r = bd_buttondialog(
        "|q#mavlyn   Uninstall#\nAll mavlyn configuration directories \"/home/*/mavlyn\"\nof all "
        "users (incl. root) will be removed.\n\nAlle mavlyn-Konfigurationsverzeichnisse "
        "\"/home/*/mavlyn\"\nvon allen Benutzern (inkl. \"root\") werden entfernt.\n|0#Cancel / "
        "Abbrechen#Do not remove the directories.\nVerzeichnisse nicht entfernen.|+1#Remove / "
        "Entfernen#Remove the directories.\nVerzeichnisse entfernen.",
        0);
    if (r == 1) iv__runremove();
}
