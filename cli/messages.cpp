#include "cli/messages.h"

#include <array>
#include <atomic>
#include <cstdlib>

#include "runtime/encoding.h"
#include "runtime/texts.h"

namespace kwt::cli {
namespace {

std::atomic<Language> gRunLanguage{Language::English};

constexpr std::array<MessageText, static_cast<std::size_t>(Msg::Count)> kMessages = {{
    {Msg::TryHelp, "Try 'kwtconv --help' for more information.",
     "使い方は 'kwtconv --help' で表示されます。"},
    {Msg::NoProjectGiven, "no project file given: name a project file (*.kwj) or a folder that holds some",
     "プロジェクトファイルが指定されていません。プロジェクトファイル (*.kwj) "
     "か、それがあるフォルダーを指定して"
     "ください。"},
    {Msg::UnknownOption, "unknown option '%s'", "不明なオプション '%s' です。"},
    {Msg::TakesNoValue, "option %s takes no value", "オプション %s には値を付けられません。"},
    {Msg::WidthNeedsNumber, "option --width needs a number of columns",
     "オプション --width の後に桁数を指定してください。"},
    {Msg::WidthOutOfRange, "option --width takes a number of columns from 1 to %d, not '%s'",
     "オプション --width の桁数は 1 から %d までです ('%s' は使えません)。"},
    {Msg::ContentsNeedsFile, "option --contents needs a file",
     "オプション --contents の後にコンテンツファイルを指定してください。"},
    {Msg::ContentsNeedsOneProject,
     "option --contents needs exactly one project file: give only the project whose contents file it is",
     "オプション --contents は、プロジェクトファイルを 1 "
     "つだけ指定したときに使えます。そのコンテンツファイルの"
     "プロジェクトだけを指定してください。"},
    {Msg::OptionsExclude, "options %s and %s exclude each other: give only one of them",
     "オプション %s と %s は同時に使えません。どちらか一方だけを指定してください。"},
    {Msg::JobsOutOfRange, "option -j takes a number of projects from 1 to %d",
     "オプション -j の数は 1 から %d までです。"},
    {Msg::ArgumentHasNoForm, "argument %d has no form in code page 932: use a name made of its characters",
     "引数 %d はコードページ 932 で表せません。コードページ 932 の文字だけの名前を使ってください。"},
    {Msg::NameHasNoForm,
     "the name has no code page 932 form: to convert it, rename the file (or its folder) with code page 932 "
     "characters",
     "この名前はコードページ 932 で表せません。変換するには、ファイル (またはフォルダー) "
     "の名前をコードページ "
     "932 の文字だけにしてください。"},
    {Msg::FolderHoldsNoProject, "the folder holds no project file (*.kwj): name the folder that holds them",
     "このフォルダーにはプロジェクトファイル (*.kwj) "
     "がありません。プロジェクトファイルがあるフォルダーを指定して"
     "ください。"},
    {Msg::FolderUnreadable, "the folder cannot be read (system error %d): check that you may open it",
     "このフォルダーを読めません (システムエラー %d)。フォルダーを開く許可があるか確かめてください。"},
    {Msg::NamesPassedOver,
     "%d name(s) in this folder have no code page 932 form and were passed over: to convert them, rename "
     "them with code page 932 characters",
     "このフォルダーの %d 個の名前はコードページ 932 "
     "で表せないため、飛ばしました。変換するには、コードページ "
     "932 の文字だけの名前にしてください。"},
    {Msg::NoteNoRecords,
     "Count in the project file is 0 or missing, so there are no records to convert and nothing was changed; "
     "if the project should have records, check its Count= line",
     "プロジェクトファイルの Count が 0 か、ありません。変換するレコードがないため、何も変更していません。"
     "レコードがあるはずのプロジェクトなら、プロジェクトファイルの Count= を確かめてください。"},
    {Msg::NoteContentsMissing,
     "the contents file %s does not exist and nothing was changed: put it back there, or name it with "
     "--contents FILE",
     "コンテンツファイル %s がありません。何も変更していません。ファイルを元の場所に戻すか、--contents で"
     "ファイルを指定してください。"},
    {Msg::NoteFindContentsHint, "; --find-contents takes the file of that name beside the project file",
     "同じ名前のファイルがプロジェクトファイルと同じフォルダーにあれば、--find-contents で変換できます。"},
    {Msg::NoteFolderBusy,
     "another program holds a file of this project open (its contents file or TMP.DAT): close that program, "
     "then run again",
     "別のプログラム (しおりばこなど) が、このプロジェクトのファイル (コンテンツファイルまたは TMP.DAT) を"
     "開いています。そのプログラムを閉じてから、もう一度実行してください。"},
    {Msg::NoteFoundBeside, "converted %s, found beside the project (the project records %s)",
     "プロジェクトと同じフォルダーにあった %s を変換しました (プロジェクトに記録されたパスは %s です)。"},
    {Msg::Summary, "%d projects: %d converted, %d up to date, %d failed",
     "プロジェクト %d 件: 変換 %d 件、変換不要 %d 件、失敗 %d 件"},
    {Msg::OutputFailed,
     "the results could not be written to the standard output, but the conversions went on: --check shows "
     "where each project stands",
     "結果を標準出力に書き込めませんでした (変換は続けました)。各プロジェクトの状態は --check "
     "で確かめられます。"},
    {Msg::NotStarted, "not converted: the run was stopped before this project; run again to convert it",
     "実行を中断したため、このプロジェクトは変換していません。もう一度実行すると変換します。"},
    {Msg::BackupExists,
     "backup %s exists already and is not a copy of this project, so the project was not converted: move "
     "that file elsewhere, then run again",
     "バックアップ %s が既にあり、このプロジェクトのコピーではないため、変換しませんでした。そのファイルを"
     "別の場所に移してから、もう一度実行してください。"},
    {Msg::BackupFailed,
     "cannot back up %s as %s: %s; the project was not converted: check the free space and the permission "
     "to write in that folder, then run again",
     "%s を %s にバックアップできません: %s。プロジェクトは変換していません。そのフォルダーの空き容量と"
     "書き込みの許可を確かめてから、もう一度実行してください。"},
    {Msg::ReasonProjectMissing, "the project file does not exist", "プロジェクトファイルがありません"},
    {Msg::ReasonNotRegularFile, "not a regular file%s", "通常のファイルではありません%s"},
    {Msg::ReasonNoContents, "Count is 0 or missing: there are no records to convert",
     "Count が 0 か、ないため、変換するレコードがありません"},
    {Msg::ReasonNegativeCount, "Count is negative (%d)", "Count が負の値です (%d)"},
    {Msg::ReasonContentsMissing, "the contents file does not exist%s", "コンテンツファイルがありません%s"},
    {Msg::ReasonContentsUnreadable, "the contents file cannot be read%s", "コンテンツファイルを読めません%s"},
    {Msg::ReasonTooFewRecords, "Count is %d but the contents file holds only %d records",
     "Count は %d ですが、コンテンツファイルには %d 件のレコードしかありません"},
    {Msg::ReasonAlreadyConverted,
     "the contents file already has layout %d (record Version %d in the project)",
     "コンテンツファイルは既にレコード形式 %d です (プロジェクトの Version を %d にしてください)"},
    {Msg::ReasonTemporaryBlocked, "%s cannot be replaced%s", "%s を置き換えられません%s"},
    {Msg::ReasonPathTooLong, "a path is longer than 259 bytes%s", "パスが 259 バイトを超えています%s"},
    {Msg::ReasonReadOnly, "read-only%s", "書き込みできません%s"},
    {Msg::ReasonFolderBusy, "another conversion is running in the folder%s",
     "フォルダーで別の変換が実行中です%s"},
    {Msg::ReasonFolderNotHeld, "the folder cannot be opened: %s%s", "フォルダーを開けません: %s%s"},
    {Msg::FolderHoldsProjectsBelow,
     "the folder holds no project file (*.kwj) itself, but its subfolders do: add -r to convert those",
     "このフォルダー自体にはプロジェクトファイル (*.kwj) がありませんが、サブフォルダーにはあります。"
     "サブフォルダーのプロジェクトも変換するには -r を付けてください。"},
    {Msg::NoteProjectMissing, "no file exists at this path: check the name and the folder",
     "このパスにはファイルがありません。名前とフォルダーを確かめてください。"},
    {Msg::NoteNoContentsKey,
     "the project file names no contents file (no KWT= line in its [KWJ] section) and nothing was changed: "
     "write KWT= with the contents file's path, or name that file with --contents FILE",
     "プロジェクトファイルにコンテンツファイルの指定 ([KWJ] の KWT=) がありません。何も変更していません。"
     "KWT= にコンテンツファイルのパスを書くか、--contents でファイルを指定してください。"},
    {Msg::NoteGivenContentsMissing,
     "the contents file %s given with --contents does not exist and nothing was changed: check that path",
     "--contents で指定したコンテンツファイル %s "
     "がありません。何も変更していません。パスを確かめてください。"},
    {Msg::NoteTooFewRecords,
     "%s; the project file and the contents file were not changed: check that the two belong together (the "
     "same backup, for one); the TMP.DAT left beside the contents file may be deleted",
     "%s。プロジェクトファイルとコンテンツファイルは変更していません。二つが正しい組み合わせか (同じ"
     "バックアップからのものか) 確かめてください。コンテンツファイルの隣に残った TMP.DAT は削除して"
     "かまいません。"},
    {Msg::NoteReadOnly,
     "%s cannot be written (it is read-only, or you may not write there): allow writing, then run again",
     "%s に書き込めません (読み取り専用か、書き込みの許可がありません)。書き込めるようにしてから、もう一度"
     "実行してください。"},
    {Msg::NoteAccessDenied,
     "a file or folder of this project cannot be written (it is read-only, or you may not write there): "
     "allow writing, then run again",
     "このプロジェクトのファイルかフォルダーに書き込めません (読み取り専用か、書き込みの許可がありません)。"
     "書き込めるようにしてから、もう一度実行してください。"},
    {Msg::NoteAccessDeniedIn,
     "a file of this project, or the folder %s or %s, cannot be written (it is read-only, or you may not "
     "write there): allow writing, then run again",
     "このプロジェクトのファイルか、フォルダー %s か %s に書き込めません (読み取り専用か、書き込みの許可が"
     "ありません)。書き込めるようにしてから、もう一度実行してください。"},
    {Msg::NoteFolderNotHeld,
     "the folder %s cannot be opened and nothing was changed: check that it exists and that you may open it "
     "(a link to a folder: name the folder itself), then run again",
     "フォルダー %s を開けないため、何も変更していません。フォルダーがあり、開く許可があるか (フォルダーへの"
     "リンクなら、フォルダーそのものを指定して) 確かめてから、もう一度実行してください。"},
    {Msg::NoteTemporaryBlocked,
     "%s cannot be replaced (a folder or another file of that name, or a file another program holds "
     "open): move it elsewhere or close that program, then run again",
     "%s を置き換えられません (その名前のフォルダーかほかのファイルがあるか、別のプログラムが開いています)。"
     "それを別の場所に"
     "移すか、そのプログラムを閉じてから、もう一度実行してください。"},
    {Msg::NotePathTooLong,
     "the path of the contents file or of TMP.DAT beside it is longer than 259 bytes: move the contents file "
     "to a shorter path and write that path as KWT= in the project file (or name it with --contents FILE)",
     "コンテンツファイルか、その隣の TMP.DAT のパスが 259 バイトを超えています。コンテンツファイルを短い"
     "パスの場所に移し、そのパスをプロジェクトファイルの KWT= に書いてください (--contents で指定することも"
     "できます)。"},
    {Msg::NoteCannotSave,
     "the project file cannot be written (it is read-only, or another program holds it open) and the "
     "contents file was not changed: allow writing to the project file or close that program, then run "
     "again",
     "プロジェクトファイルに書き込めません "
     "(読み取り専用か、別のプログラムが開いています)。コンテンツファイルは"
     "変更していません。書き込めるようにするか、そのプログラムを閉じてから、もう一度実行してください。"},
    {Msg::NoteCannotOpen,
     "the project file cannot be read (you may not read it, or another program holds it open): allow "
     "reading it or close that program, then run again",
     "プロジェクトファイルを読めません (読み取りの許可がないか、別のプログラムが開いています)。読めるように"
     "するか、そのプログラムを閉じてから、もう一度実行してください。"},
    {Msg::NoteNegativeCount,
     "Count in the project file is its number of records: correct the Count= line, then run again",
     "プロジェクトファイルの Count はレコードの数です。Count= の値を直してから、もう一度実行してください。"},
    {Msg::NoteNotAProject, "name a project file (*.kwj), or a folder that holds some",
     "プロジェクトファイル (*.kwj) か、それがあるフォルダーを指定してください。"},
    {Msg::NoteWrongContents,
     "KWT= in the project file must name its contents file (*.KWT): correct that line, or name the contents "
     "file with --contents FILE",
     "プロジェクトファイルの KWT= には、そのコンテンツファイル (*.KWT) を指定します。その行を直すか、"
     "--contents でコンテンツファイルを指定してください。"},
    {Msg::NoteDiskFull,
     "the disk has no room left for the converted files (a new copy of the contents file is written beside "
     "it): make room, then run again",
     "変換したファイルを書く空き容量がディスクにありません (コンテンツファイルの新しいコピーを隣に書きます)。"
     "空きを作ってから、もう一度実行してください。"},
    {Msg::ReasonNoContentsKey, "the project file names no contents file (no KWT=)",
     "プロジェクトファイルにコンテンツファイルの指定 (KWT=) がありません"},
    {Msg::CheckProject, "project: %s", "プロジェクト: %s"},
    {Msg::CheckProjectFilePresent, "project file: present", "プロジェクトファイル: あり"},
    {Msg::CheckProjectFileMissing, "project file: missing", "プロジェクトファイル: なし"},
    {Msg::CheckVersion, "version: %s", "バージョン: %s"},
    {Msg::CheckVersionNotRecorded, " (not recorded)", " (記録なし)"},
    {Msg::CheckVersionRecordedAs, " (recorded as \"%s\")", " (記録は \"%s\")"},
    {Msg::CheckLayout, "layout: %d (%d-byte records)", "レコード形式: %d (1 レコード %d バイト)"},
    {Msg::CheckCount, "Count: %s", "Count: %s"},
    {Msg::CheckContents, "contents: %s", "コンテンツファイルのパス: %s"},
    {Msg::CheckContentsFoundBeside, " (found beside the project; the project records %s)",
     " (プロジェクトと同じフォルダーで見つけたファイル。記録されたパスは %s)"},
    {Msg::CheckContentsRecorded, " (the project records %s)", " (プロジェクトに記録されたパスは %s)"},
    {Msg::CheckContentsFilePresent, "contents file: present", "コンテンツファイル: あり"},
    {Msg::CheckContentsFileMissing, "contents file: missing", "コンテンツファイル: なし"},
    {Msg::CheckContentsSize, "contents size: %s bytes", "コンテンツファイルの大きさ: %s バイト"},
    {Msg::CheckContentsSizeNone, "contents size: none", "コンテンツファイルの大きさ: なし"},
    {Msg::CheckContentsSizeUnknown, "contents size: unknown (%s)", "コンテンツファイルの大きさ: 不明 (%s)"},
    {Msg::CheckExpectedSize, "expected size: %s bytes (Count %s x %d)",
     "Count 件分の大きさ: %s バイト (Count %s × %d)"},
    {Msg::CheckExpectedSizeNone, "expected size: none (Count is negative)",
     "Count 件分の大きさ: なし (Count が負の値)"},
    {Msg::CheckSizesAgree, "sizes: agree", "大きさの比較: 一致"},
    {Msg::CheckSizesDisagree, "sizes: disagree", "大きさの比較: 不一致"},
    {Msg::CheckSizesUnknown, "sizes: unknown", "大きさの比較: 不明"},
    {Msg::CheckContentsLayout,
     "contents layout: %d already (a conversion refuses it; the Version to record is %d)",
     "コンテンツのレコード形式: 既に %d (変換はしません。記録すべき Version は %d)"},
    {Msg::CheckPasses, "passes: %s", "変換の段階: %s"},
    {Msg::CheckPassesNone, "passes: none", "変換の段階: なし"},
    {Msg::CheckVerdict, "verdict: %s", "判定: %s"},
    {Msg::VerdictWillConvert, "will convert (%s)", "変換します (%s)"},
    {Msg::VerdictUpToDate, "up to date", "変換不要"},
    {Msg::VerdictWillFail, "will fail: %s", "失敗します: %s"},
    {Msg::ListSeparator, ", ", "、"},
    {Msg::ReasonProjectFileAsWorkFile, "the contents file would be written over a project file%s",
     "コンテンツファイルとしてプロジェクトファイルが書き換えられてしまいます%s"},
    {Msg::ReasonContentsIsTemporary, "the contents file is named %s, like a work file of the converter%s",
     "コンテンツファイルの名前 %s が、変換の作業ファイルと同じです%s"},
    {Msg::ReasonLayoutUnsure,
     "the contents file's size fits a later layout, not the recorded one: a converted file, or one cut short",
     "コンテンツファイルの大きさが、記録されたレコード形式ではなく変換後のレコード形式に合います "
     "(変換済みか、末尾が欠けたファイルです)"},
    {Msg::CheckConversionEndsWith, "conversion ends with: %s", "変換の結果: %s"},
    {Msg::CheckStoppedRun, "stopped run: finishes it first (Version %d)\n",
     "中断された変換: 先に完了します (Version %d)\n"},
    {Msg::VerdictFinishesStoppedRun, "finishing the stopped run", "中断された変換の完了"},
    {Msg::ReasonNotContentsFile, "the project names a file that is no contents file (*.KWT)%s",
     "プロジェクトが指すファイルはコンテンツファイル (*.KWT) ではありません%s"},
    {Msg::ReasonSystemFolder, "the contents path leads into a folder of the system%s",
     "コンテンツファイルのパスがシステムのフォルダーを指しています%s"},
    {Msg::ReasonSharedContents, "another project names the same contents file: %s%s",
     "ほかのプロジェクトも同じコンテンツファイルを指しています: %s%s"},
    {Msg::NoteSharedContents,
     "converting it would leave the other project reading records it cannot read. If this project is a "
     "copy, point its KWT= at its own contents file, or run again with --contents FILE, which converts FILE "
     "and records it in KWT=; if the other project file is a copy nobody uses, move it to another folder or "
     "rename it to something other than *.kwj; if both are in use, point the other one's KWT= at its own "
     "contents file",
     "変換すると、もう一方のプロジェクトがレコードを読めなくなります。このプロジェクトがコピーなら、KWT= "
     "をこのプロジェクト自身のコンテンツファイルに直すか、--contents ファイル "
     "を付けてもう一度実行してください "
     "(そのファイルを変換し、KWT= に記録します)。もう一方が要らないコピーなら、別のフォルダーに移すか名前を "
     ".kwj 以外に変えてください。どちらも使うなら、もう一方の KWT= "
     "をそれ自身のコンテンツファイルに直してください"},
    {Msg::ReasonProjectHasSecondName,
     "the project file has a second name (a hard link) that reads the same records%s",
     "プロジェクトファイルには同じレコードを読む別の名前 (ハードリンク) もあります%s"},
    {Msg::ReasonProjectNamedElsewhere,
     "the project file has a second name (a hard link), and its KWT= reaches the same records from any "
     "folder%s",
     "プロジェクトファイルには別の名前 (ハードリンク) もあり、KWT= "
     "はどのフォルダーからでも同じレコードを指します%s"},
    {Msg::NoteProjectHasSecondName,
     "the save would part the names, leaving the other one at the old Version on converted records. If the "
     "other name is not needed, remove it or rename it to something other than *.kwj; if it is, replace it "
     "with a copy and point that copy's KWT= at its own contents file; then run again",
     "保存で名前が分かれ、もう一方の名前は古い Version のまま変換後のレコードを読むことになります。"
     "もう一方の名前が要らないなら削除するか名前を .kwj 以外に変え、要るならコピーで置き換えて、その KWT= "
     "をそれ自身のコンテンツファイルに直してから、もう一度実行してください"},
    {Msg::NoteProjectNamedElsewhere,
     "the save would part the names, and the other name, wherever it is, would read the converted records "
     "with the old Version. If the other name is not needed, remove it (find it with find / -samefile "
     "PROJECT); if it is, first give this project file a copy of its own (copy it, then move the copy over "
     "it), then point the other name's KWT= at its own contents file; then run again",
     "保存で名前が分かれると、もう一方の名前は、どこにあっても古い Version のまま変換後のレコードを読むことに"
     "なります。もう一方の名前が要らないなら削除してください (find / -samefile プロジェクトファイル "
     "で探せます)。要るなら、先にこのプロジェクトファイルをコピーで置き換えて別のファイルにしてから、"
     "もう一方の KWT= をそれ自身のコンテンツファイルに直してください。そのあと、もう一度実行してください"},
    {Msg::NoteContentsOtherName,
     "the contents file has another name (a hard link), which keeps the old records",
     "コンテンツファイルには別の名前 (ハードリンク) もあり、そちらには古いレコードが残っています。"},
    {Msg::NoteProjectOtherName,
     "the project file has another name in another folder, which keeps its old text and reads its own "
     "contents file there",
     "プロジェクトファイルには別のフォルダーに別の名前もあり、そちらは元の内容のまま、そのフォルダーの"
     "コンテンツファイルを読みます。"},
    {Msg::NoteFileOfThatNameBeside,
     "converted %s, which the project names; %s in the project's folder was left as it is",
     "プロジェクトが指す %s を変換しました。プロジェクトのフォルダーにある %s はそのままです。"},
    {Msg::NoteUnreadableProjects, "could not read %s: whether it reads the same contents file is not known",
     "%s を読めなかったため、同じコンテンツファイルを読むかどうかはわかりません。"},
    {Msg::NoteWritersNotKeptOut,
     "other programs could not be kept from writing %s while it converted (no lease here): only its "
     "stamps were looked at before it was replaced",
     "変換中にほかのプログラムが %s に書き込むのを止められませんでした (ここではリースが使えません)。"
     "置き換える前にはタイムスタンプだけを確かめました。"},
    {Msg::CheckNote, "note: %s", "注意: %s"},
    {Msg::NoteGivenRecorded, "converted %s in place of %s, and recorded it in KWT=",
     "%s を %s の代わりに変換し、KWT= に記録しました。"},
    {Msg::CheckContentsGivenInPlace, " (in place of %s, which KWT= will no longer name)",
     " (%s の代わり。変換後の KWT= はこのファイルを指します)"},
    {Msg::NotePermissionsNotKept,
     "the converted files could not keep all of the old files' permissions (not kept: %s); they are open to "
     "nobody who could not open the old ones",
     "変換後のファイルは元のファイルの権限を一部引き継げませんでした (引き継げなかったもの: "
     "%s)。元のファイルを"
     "開けなかった人が開けるようにはなっていません。"},
    {Msg::NoteDiskFreed,
     "the disk ran full: the unfinished %s was removed to free the space again; make room and convert again",
     "ディスクがいっぱいになったため、作りかけの %s "
     "を削除して空きを戻しました。空きを作ってから、もう一度変換して"
     "ください。"},
    {Msg::NoteContentsIsTemporary,
     "the project's contents file has the name of one of the converter's work files (TMP.DAT, TMP.TRY, "
     "TMP.TRY$$$); rename it (and KWT= in the project file) to NAME.KWT, then run again",
     "コンテンツファイルの名前が作業ファイル (TMP.DAT、TMP.TRY、TMP.TRY$$$) と同じです。ファイルの名前 "
     "(とプロジェクトファイルの KWT=) を 名前.KWT に変えてから、もう一度実行してください"},
    {Msg::ReasonCannotReplaceInOneStep, "the file system of the folder %s cannot replace a file in one step",
     "フォルダー %s のファイルシステムはファイルを一度に置き換えられません"},
    {Msg::NoteCannotReplaceInOneStep,
     "the folder is on a file system that cannot move a file over another in one step (an SFTP or other "
     "network share without atomic rename); the converter replaces files only that way, so that no failure "
     "can lose records: copy the project's folder to a local disk and convert the copy there (where its KWT= "
     "names the original's file, with --contents and the copy's own contents file), copy both files back, "
     "and "
     "where --contents was used set KWT= back to the path it had",
     "このフォルダーは、ファイルを一度に置き換えられないファイルシステム (アトミックな名前の変更ができない "
     "SFTP などのネットワーク共有) にあります。失敗してもレコードが失われないよう、変換はファイルを一度に"
     "置き換える方法でしか行いません。プロジェクトの"
     "フォルダーをローカルのディスクにコピーして変換し (KWT= が元のファイルを指しているなら、--contents "
     "でコピーのコンテンツファイルを指定します)、二つのファイルを元の場所にコピーし直してください。"
     "--contents を使ったときは、KWT= を元のパスに戻してください"},
    {Msg::ReasonOthersLeftover,
     "%s belongs to another user, and only its owner, the folder's owner or an administrator may remove it%s",
     "%s は別のユーザーのもので、削除できるのはその持ち主か、フォルダーの持ち主か管理者だけです%s"},
    {Msg::NoteOthersLeftover,
     "another user left that file in this shared folder, and you may neither remove nor replace it: ask its "
     "owner, the folder's owner or an administrator to remove it, then run again",
     "そのファイルは別のユーザーがこの共有フォルダーに残したもので、削除も置き換えもできません。その持ち主か"
     "、"
     "フォルダーの持ち主か管理者に削除を頼んでから、もう一度実行してください。"},
    {Msg::NoteNamesPassedOver, "passed over: %s", "飛ばした名前: %s"},
    {Msg::ReasonCountUnreadable, "Count is written as %s, not as a number of records (0 to 2147483647)",
     "Count が %s と書かれていて、レコードの数 (0 から 2147483647) ではありません"},
    {Msg::NoteCountUnreadable,
     "Count in the project file is written as %s, which is no number of records (a whole number from 0 to "
     "2147483647 in plain digits), so nothing was converted or changed: correct the Count= line, then run "
     "again",
     "プロジェクトファイルの Count が %s と書かれていて、レコードの数 (0 から 2147483647 "
     "までの整数) ではないため、何も変換せず、何も変更していません。Count= "
     "の値を直してから、もう一度実行してください。"},
    {Msg::ReasonProjectPathTooLong, "the path (%d bytes) is too long for the system",
     "パス (%d バイト) がシステムで使える長さを超えています"},
    {Msg::NoteProjectPathTooLong,
     "the path (%d bytes), or a name in it, is too long for the system, so no file can be reached by it: "
     "give "
     "a shorter path (relative to a folder nearer the project), or move the project to a shorter path",
     "パス (%d バイト) かその中の名前がシステムで使える長さを超えているため、ファイルを開けません。短いパス "
     "(プロジェクトに近いフォルダーからの相対パスなど) を指定するか、プロジェクトを短いパスの場所に移して"
     "ください。"},
    {Msg::Restored, "restored from %s and %s", "%s と %s から復元しました"},
    {Msg::AlreadyRestored, "already restored: both files hold their backups",
     "復元済みです (二つのファイルはバックアップと同じです)"},
    {Msg::RestoreRefused, "cannot restore: %s; nothing was changed",
     "復元できません: %s。何も変更していません。"},
    {Msg::ReasonBackupMissing, "the backup %s is missing, or is a link or no regular file",
     "バックアップ %s がないか、リンクか、通常のファイルではありません"},
    {Msg::ReasonBackupsNotAPair,
     "the backups are no pair: the backed-up project's Version and Count do not fit %s",
     "バックアップが組になっていません (バックアップのプロジェクトの Version と Count が %s に合いません)"},
    {Msg::ReasonNotConverted,
     "the project was not converted, or was restored already: its project file records the backed-up "
     "Version, "
     "and %s is not its backup",
     "プロジェクトは変換されていないか、既に戻してあります (プロジェクトファイルの Version "
     "はバックアップと同じで、"
     "%s はバックアップと違います)"},
    {Msg::ReasonChangedSinceConversion,
     "%s has changed since its conversion, and restoring would lose that change",
     "%s は変換のあとで変更されています。復元すると、その変更が失われます"},
    {Msg::ReasonBackupChanged,
     "the backup %s has changed since the conversion (it is newer than the converted file), so it no longer "
     "holds the project as it was",
     "バックアップ %s は変換のあとで変更されています "
     "(変換したファイルより新しいため)。変換前のプロジェクトでは"
     "なくなっています"},
    {Msg::NoteRestoreByHand,
     "to go back all the same, keep a copy of the current files, then put %s and %s back by hand, always "
     "both, as the guide describes",
     "それでも戻すには、今のファイルのコピーを取っておいてから、%s と %s "
     "を手で、必ず二つ一緒に戻してください "
     "(説明書を参照)"},
    {Msg::NoteRestoreDiskFull,
     "the disk has no room for the files put back (each is written anew beside the file it replaces): make "
     "room, then restore again",
     "戻すファイルを書く空きがディスクにありません (それぞれ、置き換えるファイルの隣に新しく書きます)。空きを"
     "作ってから、もう一度戻してください"},
    {Msg::RestoreChangedMidway,
     "%s changed while it was being restored, so it was kept as it is; the project file has been put back "
     "already: to keep that change, use the project with version 1.4.0 after writing Version=%s in the "
     "project "
     "file again",
     "%s が復元の途中で変更されたため、そのまま残しました。プロジェクトファイルは既に戻っています。その変更を"
     "残すには、プロジェクトファイルの Version を %s に書き直して、バージョン 1.4.0 で使ってください"},
    {Msg::RestoreStopped, "the restore was stopped before anything was replaced; nothing was changed",
     "何も置き換える前に復元を中断しました。何も変更していません"},
    {Msg::SummaryRestore, "%d projects: %d restored, %d already restored, %d failed",
     "プロジェクト %d 件: 復元 %d 件、復元済み %d 件、失敗 %d 件"},
    {Msg::CheckBackups, "backups: %s, %s", "バックアップ: %s、%s"},
    {Msg::VerdictWillRestore, "will restore", "復元します"},
    {Msg::VerdictAlreadyRestored, "already restored", "復元済みです"},
    {Msg::VerdictCannotRestore, "cannot restore: %s", "復元できません: %s"},
    {Msg::Usage,
     "Usage: kwtconv [OPTIONS] PROJECT.kwj|FOLDER...\n"
     "Converts each project (a .kwj project file and the .KWT contents file it names)\n"
     "to the data format of version 1.4.0, one after the other. A FOLDER stands for\n"
     "every .kwj file in it (in any letter case), in name order.\n"
     "\n"
     "Options:\n"
     "  --check          change no file of a project (two empty scratch files are made\n"
     "                   and removed, to try the folder); report for each project its\n"
     "                   recorded version and layout, Count, the contents file, its\n"
     "                   size against Count records, the passes a conversion would\n"
     "                   run, and a verdict: will convert, up to date, or will fail\n"
     "                   and why\n"
     "  --backup         before converting a project, copy its project file and its\n"
     "                   contents file to NAME.kwj.bak and NAME.KWT.bak beside them;\n"
     "                   a backup that exists already is kept when it is a copy of the\n"
     "                   project, any other stops that project\n"
     "  --restore        instead of converting, put each project back as its backups\n"
     "                   NAME.kwj.bak and NAME.KWT.bak hold it, only when neither\n"
     "                   file has changed since the conversion; the backups are kept;\n"
     "                   with --check, say whether each project can be restored\n"
     "  --contents FILE  convert FILE as the contents file of the one PROJECT given\n"
     "                   (a moved project, a copy); where the path in the project file\n"
     "                   names another file that exists, FILE's real path is recorded\n"
     "                   in its place, otherwise the path stays as it is\n"
     "  --find-contents  only when the contents path a project records names no file,\n"
     "                   use the file of that name beside the project file (a project\n"
     "                   made on another machine), and record that file's full path\n"
     "                   in the project\n"
     "  -r, --recursive  search the FOLDERs given in their subfolders too (links to\n"
     "                   folders are not followed)\n"
     "  --json           print one JSON object per project instead of text\n"
     "  -j, --jobs N     convert up to N projects at once (1 to 64); projects that\n"
     "                   share a folder still convert one after another, and results\n"
     "                   are shown in the order given\n"
     "  --width N        columns for the contents path (default: the terminal's width\n"
     "                   less the counter's room, or 60 when not on a terminal)\n"
     "  --trace          print every setting of the status line and of the target box\n"
     "                   as it happens, one line each: status<TAB>text and\n"
     "                   target<TAB>text\n"
     "  -q, --quiet      print errors only: no line for projects that converted or\n"
     "                   were up to date, and no summary (--check still reports)\n"
     "  -h, --help       show this help and exit\n"
     "  --version        show the version, the copyright and the licence and exit\n"
     "\n"
     "--check goes with neither --backup nor -j, --restore not with --backup,\n"
     "--trace with neither --quiet nor --json, and --contents not with\n"
     "--find-contents.\n"
     "\n"
     "A contents path that is relative is taken from the project file's folder.\n"
     "Each project ends with one line: PROJECT: STATUS on the standard output when it\n"
     "converted or was up to date, kwtconv: PROJECT: error: MESSAGE on the standard\n"
     "error otherwise, followed by a note: line where there is more to say, such as\n"
     "what to do next. After two or more projects a summary follows on the standard\n"
     "error. On a terminal a progress line shows the record counter meanwhile. Set\n"
     "KWTCONV_LANG=en or ja to choose the language of kwtconv's own messages.\n"
     "\n"
     "Exit status:\n"
     "  0    every project converted or was up to date (\"%s\" or \"%s\"); with\n"
     "       --restore: every project was restored or had been already\n"
     "  1    a project failed (missing file, no contents, an error), or the output\n"
     "       could not be written; with --check: a conversion (or restore) would fail\n"
     "  2    the command line is wrong\n"
     "  130  stopped by Ctrl+C or a signal; the unfinished pass was undone\n",
     "使い方: kwtconv [オプション] プロジェクト.kwj|フォルダー...\n"
     "各プロジェクト (.kwj プロジェクトファイルと、それが指す .KWT コンテンツファイル)\n"
     "を、バージョン 1.4.0 のデータ形式に 1 つずつ順に変換します。\n"
     "フォルダーを指定すると、その中の .kwj ファイル (大文字小文字は問いません) を\n"
     "名前の順に変換します。\n"
     "\n"
     "オプション:\n"
     "  --check          プロジェクトのファイルは変更せず (フォルダーを試すため、空の\n"
     "                   作業ファイルを二つ作って削除するだけです)、各プロジェクト\n"
     "                   について、記録されたバージョンと\n"
     "                   レコード形式、Count、コンテンツファイルとその大きさ、\n"
     "                   Count 件分の大きさ、変換の段階、判定 (変換します /\n"
     "                   変換不要 / 失敗します: 理由) を表示します\n"
     "  --backup         変換の前に、プロジェクトファイルとコンテンツファイルを、\n"
     "                   それぞれの隣の 名前.kwj.bak と 名前.KWT.bak にコピーします。\n"
     "                   既にあるバックアップは、このプロジェクトのコピーなら\n"
     "                   そのまま残し、そうでなければそのプロジェクトを変換しません\n"
     "  --restore        変換する代わりに、各プロジェクトをバックアップ 名前.kwj.bak と\n"
     "                   名前.KWT.bak の内容に戻します。変換のあとでどちらのファイルも\n"
     "                   変更されていないときだけ戻し、バックアップは残します。\n"
     "                   --check と使うと、戻せるかどうかを表示します\n"
     "  --contents ファイル\n"
     "                   指定した 1 つのプロジェクトのコンテンツファイルとして、\n"
     "                   このファイルを変換します (移動したプロジェクト、コピー)。\n"
     "                   記録されたパスが別の既存のファイルを指しているときは、\n"
     "                   代わりにこのファイルの実際のパスを記録し、そうでなければ\n"
     "                   記録されたパスは変えません\n"
     "  --find-contents  記録されたコンテンツファイルのパスにファイルがないときだけ、\n"
     "                   プロジェクトファイルと同じフォルダーにある同じ名前の\n"
     "                   ファイルを使います (別のパソコンで作られたプロジェクト)。\n"
     "                   変換したあと、そのファイルのフルパスを記録します\n"
     "  -r, --recursive  指定したフォルダーのサブフォルダーも探します\n"
     "                   (フォルダーへのリンクはたどりません)\n"
     "  --json           テキストの代わりに、プロジェクトごとに JSON オブジェクトを\n"
     "                   1 行ずつ表示します\n"
     "  -j, --jobs N     最大 N 個 (1 から 64) のプロジェクトを同時に変換します。\n"
     "                   同じフォルダーを使うプロジェクトは順に変換し、結果は\n"
     "                   指定した順に表示します\n"
     "  --width N        コンテンツファイルのパスを表示する桁数 (既定: 端末の幅から\n"
     "                   カウンターの分を引いた値、端末でなければ 60)\n"
     "  --trace          状態表示とターゲット欄が変わるたびに 1 行ずつ表示します:\n"
     "                   status<タブ>テキスト、target<タブ>テキスト\n"
     "  -q, --quiet      エラーだけを表示します。変換できたか変換不要だった\n"
     "                   プロジェクトの行と、集計は表示しません (--check の報告は\n"
     "                   表示します)\n"
     "  -h, --help       この使い方を表示して終了します\n"
     "  --version        バージョン、著作権表示とライセンスを表示して終了します\n"
     "\n"
     "--check は --backup とも -j とも、--restore は --backup とも、\n"
     "--trace は --quiet とも --json とも、\n"
     "--contents は --find-contents とも同時に使えません。\n"
     "\n"
     "相対パスのコンテンツファイルは、プロジェクトファイルのフォルダーから探します。\n"
     "各プロジェクトの結果は 1 行です。変換できたか変換不要のときは標準出力に\n"
     "「プロジェクト: 状態」、それ以外は標準エラー出力に\n"
     "「kwtconv: プロジェクト: error: メッセージ」と表示し、補足 (次にすることなど)\n"
     "があれば note: の行が続きます。\n"
     "2 つ以上のプロジェクトのあとには、標準エラー出力に集計を表示します。\n"
     "端末では、変換中のレコード番号を表示します。\n"
     "kwtconv 自身のメッセージの言語は KWTCONV_LANG=en または ja で選べます。\n"
     "\n"
     "終了ステータス:\n"
     "  0    すべてのプロジェクトが変換できたか変換不要だった (\"%s\" または \"%s\")。\n"
     "       --restore では、すべてのプロジェクトを戻したか、既に戻っていた\n"
     "  1    失敗したプロジェクトがある (ファイル無し、コンテンツ無し、エラー)、\n"
     "       または結果を出力できなかった。--check では、変換 (または復元) が\n"
     "       失敗するプロジェクトがある\n"
     "  2    コマンドラインが正しくない\n"
     "  130  Ctrl+C またはシグナルで中断した。途中の変換は取り消した\n"},
}};

}  // namespace

const MessageText* MessageTable() {
  return kMessages.data();
}

Language RunLanguage() {
  return gRunLanguage;
}

void SetRunLanguage(Language language) {
  gRunLanguage = language;
}

std::string Say(Language language, Msg id, std::initializer_list<std::string_view> values) {
  const MessageText& text = kMessages[static_cast<std::size_t>(id)];
  std::string format;
  if (language == Language::Japanese) {
    format = encoding::Utf8ToCp932(text.japanese).value_or(std::string(text.english));
  } else {
    format = std::string(text.english);
  }
  return texts::Format(format, values);
}

}  // namespace kwt::cli
