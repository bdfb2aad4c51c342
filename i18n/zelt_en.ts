<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ja_JP">
<context>
    <name>zelt</name>
    <message>
        <source>取得</source>
        <translation>Get</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>グラフ</source>
        <translation>Graph</translation>
    </message>
    <message>
        <source>モニタ</source>
        <translation>Monitor</translation>
    </message>
    <message>
        <source>もどる</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>情報</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>接&lt;-&gt;続</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>接続</source>
        <translation>Connected</translation>
    </message>
    <message>
        <source>待機</source>
        <translation>Waiting</translation>
    </message>
    <message>
        <source>やりなおし</source>
        <translation>Retry</translation>
    </message>
    <message>
        <source>ファームウェア</source>
        <translation>Firmware</translation>
    </message>
    <message>
        <source>オプション</source>
        <translation>Options</translation>
    </message>
    <message>
        <source>ポート検索</source>
        <translation>Port search</translation>
    </message>
    <message>
        <source>予約日時</source>
        <translation>Reserved</translation>
    </message>
    <message>
        <source>検出値</source>
        <translation>Level</translation>
    </message>
    <message>
        <source>閾値超検出</source>
        <translation>Over level</translation>
    </message>
    <message>
        <source>新規開始</source>
        <translation>New start</translation>
    </message>
    <message>
        <source>時間表示</source>
        <translation>Show time</translation>
    </message>
    <message>
        <source>エンドレス</source>
        <translation>Endless</translation>
    </message>
    <message>
        <source>調整用-&gt;</source>
        <translation>Adjust-&gt;</translation>
    </message>
    <message>
        <source>ハザード</source>
        <translation>Hazard</translation>
    </message>
    <message>
        <source>表示</source>
        <translation>Display</translation>
    </message>
    <message>
        <source>開始設定</source>
        <translation>Start setup</translation>
    </message>
    <message>
        <source>印刷</source>
        <translation>Print</translation>
    </message>
    <message>
        <source>全体</source>
        <translation>Fit all</translation>
    </message>
    <message>
        <source>区間をCSV保存...</source>
        <translation>Interval to CSV...</translation>
    </message>
    <message>
        <source>このZELTのID番号をセットします。</source>
        <translation>Sets the ID number of this ZELT.</translation>
    </message>
    <message>
        <source>計算結果</source>
        <translation>Results</translation>
    </message>
    <message>
        <source>予約時間</source>
        <translation>Reserved time</translation>
    </message>
    <message>
        <source>月</source>
        <translation>Month</translation>
    </message>
    <message>
        <source>日</source>
        <translation>Day</translation>
    </message>
    <message>
        <source>時</source>
        <translation>Hour</translation>
    </message>
    <message>
        <source>分</source>
        <translation>Min</translation>
    </message>
    <message>
        <source>：</source>
        <translation>:</translation>
    </message>
    <message>
        <source>時間不整合</source>
        <translation>The records' times are out of step</translation>
    </message>
    <message>
        <source>データ数不具合</source>
        <translation>The record count is wrong</translation>
    </message>
    <message>
        <source>はい(&amp;Y)</source>
        <translation>&amp;Yes</translation>
    </message>
    <message>
        <source>いいえ(&amp;N)</source>
        <translation>&amp;No</translation>
    </message>
    <message>
        <source>オンラインデータ取得します。秒数を指定してください</source>
        <translation>Online capture: how many seconds?</translation>
    </message>
    <message>
        <source>更新が完了しました（%1 行のうち %2 行を送信）</source>
        <translation>Update completed (%2 of %1 lines sent)</translation>
    </message>
    <message>
        <source>%v / %m 行（%p%）</source>
        <translation>%v / %m lines (%p%)</translation>
    </message>
    <message>
        <source>ファイルを読み込んでいます</source>
        <translation>Reading the file</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>ファイルを開けません</source>
        <translation>Cannot open the file</translation>
    </message>
    <message>
        <source>ファイルを読み込めません</source>
        <translation>Cannot read the file</translation>
    </message>
    <message>
        <source>ファイルに書き込めません</source>
        <translation>Cannot write the file</translation>
    </message>
    <message>
        <source>%1: %2（%3）</source>
        <translation>%1: %2 (%3)</translation>
    </message>
    <message>
        <source>ファイルがありません</source>
        <translation>no such file</translation>
    </message>
    <message>
        <source>フォルダーがありません</source>
        <translation>no such folder</translation>
    </message>
    <message>
        <source>ファイルではなくフォルダーです</source>
        <translation>it is a folder, not a file</translation>
    </message>
    <message>
        <source>アクセスが拒否されました</source>
        <translation>access denied</translation>
    </message>
    <message>
        <source>ディスクの空き容量が足りません</source>
        <translation>disk full</translation>
    </message>
    <message>
        <source>通常のファイルではありません</source>
        <translation>not an ordinary file</translation>
    </message>
    <message>
        <source>パイプを読むプログラムがありません</source>
        <translation>no program reads from the pipe</translation>
    </message>
    <message>
        <source>パイプを読むプログラムが終了しました</source>
        <translation>the program reading the pipe has closed it</translation>
    </message>
    <message>
        <source>書き込んだデータが受け取られません</source>
        <translation>the pipe or device takes no more data</translation>
    </message>
    <message>
        <source>中断されました</source>
        <translation>interrupted</translation>
    </message>
    <message>
        <source>入出力エラー</source>
        <translation>I/O error</translation>
    </message>
    <message>
        <source>%1 行あり、読み込むには %2 MB のメモリが要ります（この大きさのファイルでは %3 MB まで）</source>
        <translation>%1 lines: reading them would take %2 MB of memory (at most %3 MB for a file of this size)</translation>
    </message>
</context>
</TS>
