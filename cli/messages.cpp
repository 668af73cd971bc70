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
    {Msg::NoProjectGiven, "no project file given", "プロジェクトファイルが指定されていません。"},
    {Msg::UnknownOption, "unknown option '%s'", "不明なオプション '%s' です。"},
    {Msg::TakesNoValue, "option %s takes no value", "オプション %s は値を取りません。"},
    {Msg::WidthNeedsNumber, "option --width needs a number of columns",
     "オプション --width には桁数が必要です。"},
    {Msg::WidthOutOfRange, "option --width takes a number of columns from 1 to %d, not '%s'",
     "オプション --width の桁数は 1 から %d までです ('%s' は使えません)。"},
    {Msg::ContentsNeedsFile, "option --contents needs a file",
     "オプション --contents にはファイルが必要です。"},
    {Msg::ContentsNeedsOneProject, "option --contents needs exactly one project file",
     "オプション --contents はプロジェクトファイルを 1 つだけ指定したときに使えます。"},
    {Msg::OptionsExclude, "options %s and %s exclude each other", "オプション %s と %s は同時に使えません。"},
    {Msg::JobsOutOfRange, "option -j takes a number of projects from 1 to %d",
     "オプション -j の数は 1 から %d までです。"},
    {Msg::ArgumentHasNoForm, "argument %d has no form in code page 932",
     "引数 %d はコードページ 932 で表せません。"},
    {Msg::NameHasNoForm, "the name has no code page 932 form", "この名前はコードページ 932 で表せません。"},
    {Msg::FolderHoldsNoProject, "the folder holds no project file (*.kwj)",
     "このフォルダにはプロジェクトファイル (*.kwj) がありません。"},
    {Msg::FolderUnreadable, "the folder cannot be read (system error %d)",
     "このフォルダを読めません (システムエラー %d)。"},
    {Msg::NamesPassedOver, "%d name(s) in this folder have no code page 932 form and were passed over",
     "このフォルダの %d 個の名前はコードページ 932 で表せないため、飛ばしました。"},
    {Msg::NoteNoRecords, "the project records Count=0: it has no records to convert",
     "プロジェクトの Count が 0 のため、変換するレコードがありません。"},
    {Msg::NoteContentsMissing, "the contents file %s does not exist", "コンテンツファイル %s がありません。"},
    {Msg::NoteFindContentsHint, "; --find-contents looks for it beside the project file",
     "--find-contents を付けると、プロジェクトファイルと同じフォルダから探します。"},
    {Msg::NoteFolderBusy,
     "another conversion is running in a folder of this project, or another program holds its TMP.DAT; try "
     "again when it has finished",
     "このプロジェクトのフォルダで別の変換が実行中か、別のプログラムが TMP.DAT を使用中です。終わってから、"
     "もう一度実行してください。"},
    {Msg::NoteFoundBeside, "converted %s, found beside the project (the project records %s)",
     "プロジェクトと同じフォルダにあった %s を変換しました (プロジェクトに記録されたパスは %s です)。"},
    {Msg::Summary, "%d projects: %d converted, %d up to date, %d failed",
     "プロジェクト %d 件: 変換 %d 件、変換不要 %d 件、失敗 %d 件"},
    {Msg::OutputFailed, "the results could not be written to the standard output",
     "結果を標準出力に書き込めませんでした。"},
    {Msg::NotStarted, "not converted: the run was stopped before this project",
     "実行を中断したため、このプロジェクトは変換していません。"},
    {Msg::BackupExists, "backup %s exists already; the project was not converted",
     "バックアップ %s が既にあるため、プロジェクトを変換しませんでした。"},
    {Msg::BackupFailed, "cannot back up %s as %s: %s", "%s を %s にバックアップできません: %s"},
    {Msg::ReasonProjectMissing, "the project file does not exist", "プロジェクトファイルがありません"},
    {Msg::ReasonNotRegularFile, "not a regular file%s", "通常のファイルではありません%s"},
    {Msg::ReasonNoContents, "Count is 0: there are no records to convert",
     "Count が 0 のため、変換するレコードがありません"},
    {Msg::ReasonNegativeCount, "Count is negative (%d)", "Count が負の値です (%d)"},
    {Msg::ReasonContentsMissing, "the contents file does not exist%s", "コンテンツファイルがありません%s"},
    {Msg::ReasonContentsUnreadable, "the contents file cannot be read%s", "コンテンツファイルを読めません%s"},
    {Msg::ReasonTooFewRecords, "Count is %d but the contents file holds only %d records",
     "Count は %d ですが、コンテンツファイルには %d 件のレコードしかありません"},
    {Msg::ReasonAlreadyConverted,
     "the contents file already has layout %d (record Version %d in the project)",
     "コンテンツファイルは既にレイアウト %d です (プロジェクトの Version を %d にしてください)"},
    {Msg::ReasonTemporaryBlocked, "TMP.DAT cannot be replaced%s", "TMP.DAT を置き換えられません%s"},
    {Msg::ReasonPathTooLong, "a path is longer than 259 bytes%s", "パスが 259 バイトを超えています%s"},
    {Msg::ReasonReadOnly, "read-only%s", "書き込みできません%s"},
    {Msg::ReasonFolderBusy, "another conversion is running in the folder%s",
     "フォルダで別の変換が実行中です%s"},
    {Msg::ReasonProjectFileAsWorkFile, "the contents file would be written over a project file%s",
     "コンテンツファイルとしてプロジェクトファイルが書き換えられてしまいます%s"},
    {Msg::ReasonContentsIsTemporary, "the contents file is named TMP.DAT, the converter's work file%s",
     "コンテンツファイルの名前が、変換の作業ファイルと同じ TMP.DAT です%s"},
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
    {Msg::Usage,
     "Usage: kwtconv [OPTIONS] PROJECT.kwj|FOLDER...\n"
     "Converts each project (a .kwj project file and the .KWT contents file it names)\n"
     "to the data format of version 1.4.0, one after the other. A FOLDER stands for\n"
     "every .kwj file in it (in any letter case), in name order.\n"
     "\n"
     "Options:\n"
     "  --check          change nothing; report for each project its recorded version\n"
     "                   and layout, Count, the contents file, its size against Count\n"
     "                   records, the passes a conversion would run, and a verdict:\n"
     "                   will convert, up to date, or will fail and why\n"
     "  --backup         before converting a project, copy its project file and its\n"
     "                   contents file to NAME.bak beside them; a project whose backup\n"
     "                   already exists (and is not the project as it was) is not\n"
     "                   converted\n"
     "  --contents FILE  convert FILE as the contents file of the one PROJECT given\n"
     "                   (a moved project); the path in the project file stays as it is\n"
     "  --find-contents  when the contents path a project records names no file, use\n"
     "                   the file of that name beside the project file (a project made\n"
     "                   on another machine); the recorded path stays as it is\n"
     "  -r, --recursive  search the FOLDERs given in their subfolders too (links to\n"
     "                   folders are not followed)\n"
     "  --json           print one JSON object per project instead of text\n"
     "  -j, --jobs N     convert up to N projects at once (1 to 64); projects that\n"
     "                   share a folder still convert one after another, and results\n"
     "                   are shown in the order given\n"
     "  --width N        columns for the contents path (default: the terminal's width\n"
     "                   less the counter's room, or 60 when not on a terminal)\n"
     "  --trace          print every setting of the status line and of the target box\n"
     "                   as it happens, one line each: status<TAB>text, target<TAB>text\n"
     "  -q, --quiet      print no line for projects that converted or were up to date\n"
     "  -h, --help       show this help and exit\n"
     "  --version        show the version and exit\n"
     "\n"
     "A contents path that is relative is taken from the project file's folder.\n"
     "Each project ends with one line: PROJECT: STATUS on the standard output when it\n"
     "converted or was up to date, kwtconv: PROJECT: error: MESSAGE on the standard\n"
     "error otherwise, followed by a note: line where there is more to say. After two\n"
     "or more projects a summary follows on the standard error. On a terminal a\n"
     "progress line shows the record counter meanwhile. Set KWTCONV_LANG=en or ja to\n"
     "choose the language of kwtconv's own messages.\n"
     "\n"
     "Exit status:\n"
     "  0    every project converted or was up to date (\"%s\" or \"%s\")\n"
     "  1    a project failed (missing file, no contents, an error), or the output\n"
     "       could not be written; with --check: a conversion would fail\n"
     "  2    the command line is wrong\n"
     "  130  stopped by Ctrl+C or a signal; the unfinished pass was undone\n",
     "使い方: kwtconv [オプション] プロジェクト.kwj|フォルダ...\n"
     "各プロジェクト (.kwj プロジェクトファイルと、それが指す .KWT コンテンツファイル) を\n"
     "バージョン 1.4.0 のデータ形式に、1 つずつ順に変換します。フォルダを指定すると、\n"
     "その中の .kwj ファイル (大文字小文字は問いません) を名前の順に変換します。\n"
     "\n"
     "オプション:\n"
     "  --check          何も変更せず、各プロジェクトの記録されたバージョンとレイアウト、\n"
     "                   Count、コンテンツファイルとその大きさ、変換で行う処理、\n"
     "                   判定 (変換する / 変換不要 / 失敗とその理由) を表示します\n"
     "  --backup         変換の前に、プロジェクトファイルとコンテンツファイルを同じ場所の\n"
     "                   NAME.bak にコピーします。変換前のものでないバックアップが既に\n"
     "                   ある場合は変換しません\n"
     "  --contents FILE  指定した 1 つのプロジェクトのコンテンツファイルとして FILE を\n"
     "                   変換します (移動したプロジェクト)。記録されたパスは変えません\n"
     "  --find-contents  記録されたコンテンツのパスにファイルがないとき、プロジェクト\n"
     "                   ファイルと同じフォルダにある同じ名前のファイルを使います\n"
     "                   (別のパソコンで作られたプロジェクト)。記録されたパスは変えません\n"
     "  -r, --recursive  指定したフォルダのサブフォルダも探します (フォルダへのリンクは\n"
     "                   たどりません)\n"
     "  --json           テキストの代わりに、プロジェクトごとに JSON オブジェクトを 1 行ずつ\n"
     "                   表示します\n"
     "  -j, --jobs N     最大 N 個 (1 から 64) のプロジェクトを同時に変換します。同じ\n"
     "                   フォルダを使うプロジェクトは順に変換し、結果は指定した順に表示します\n"
     "  --width N        コンテンツのパスを表示する桁数 (既定: 端末の幅からカウンタの分を\n"
     "                   引いた値、端末でなければ 60)\n"
     "  --trace          状態表示とターゲット欄に設定されるたびに、1 行ずつ表示します:\n"
     "                   status<TAB>テキスト、target<TAB>テキスト\n"
     "  -q, --quiet      変換できた、または変換不要だったプロジェクトの行を表示しません\n"
     "  -h, --help       この使い方を表示して終了します\n"
     "  --version        バージョンを表示して終了します\n"
     "\n"
     "相対パスのコンテンツは、プロジェクトファイルのフォルダから探します。\n"
     "各プロジェクトの結果は 1 行です。変換できたか変換不要のときは標準出力に\n"
     "「プロジェクト: 状態」、それ以外は標準エラーに「kwtconv: プロジェクト: error:\n"
     "メッセージ」と表示し、補足があれば note: の行が続きます。2 つ以上のプロジェクトの\n"
     "あとには、標準エラーに集計を表示します。端末では変換中のレコード番号を表示します。\n"
     "kwtconv 自身のメッセージの言語は KWTCONV_LANG=en または ja で選べます。\n"
     "\n"
     "終了ステータス:\n"
     "  0    すべてのプロジェクトが変換できたか変換不要だった (\"%s\" または \"%s\")\n"
     "  1    失敗したプロジェクトがある (ファイル無し、コンテンツ無し、エラー)、または\n"
     "       結果を出力できなかった。--check では、変換が失敗するプロジェクトがある\n"
     "  2    コマンドラインが正しくない\n"
     "  130  Ctrl+C またはシグナルで中断した。途中の処理は取り消した\n"},
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
