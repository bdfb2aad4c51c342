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
        <source>無応答待ち</source>
        <translation>Silence limit</translation>
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
        <source>（送信: %1）</source>
        <translation> (sends %1)</translation>
    </message>
    <message>
        <source>ロガーの設定を読み出します</source>
        <translation>Reads the logger's settings</translation>
    </message>
    <message>
        <source>ファームウェア更新のためにロガーをローダーに切り替えます</source>
        <translation>Switches the logger to its loader for a firmware update</translation>
    </message>
    <message>
        <source>ファームウェアのHEXファイルを開きます</source>
        <translation>Opens a firmware HEX file</translation>
    </message>
    <message>
        <source>ファームウェアをロガーに書き込みます</source>
        <translation>Writes the firmware to the logger</translation>
    </message>
    <message>
        <source>ロガーのポートを探して接続します</source>
        <translation>Finds the logger's port and connects to it</translation>
    </message>
    <message>
        <source>e と p を1文字ずつ送り、ポートを閉じます</source>
        <translation>Sends e and p one character at a time, then closes the port</translation>
    </message>
    <message>
        <source>情報の要求を1文字で送ります</source>
        <translation>Sends the information request as a single character</translation>
    </message>
    <message>
        <source>ライブモニタを最初からやりなおします</source>
        <translation>Restarts the live monitor</translation>
    </message>
    <message>
        <source>CSVファイルを開きます</source>
        <translation>Opens a CSV file</translation>
    </message>
    <message>
        <source>データをCSVファイルに保存します</source>
        <translation>Saves the data to a CSV file</translation>
    </message>
    <message>
        <source>データをグラフで表示します</source>
        <translation>Shows the data as a graph</translation>
    </message>
    <message>
        <source>記録データを取得します</source>
        <translation>Downloads the recorded data</translation>
    </message>
    <message>
        <source>記録データをC形式で取得します</source>
        <translation>Downloads the recorded data in the C form</translation>
    </message>
    <message>
        <source>記録データをG形式で取得します</source>
        <translation>Downloads the recorded data in the G form</translation>
    </message>
    <message>
        <source>記録データをG形式で取得します（英語の見出し）</source>
        <translation>Downloads the recorded data in the G form (English column titles)</translation>
    </message>
    <message>
        <source>ライブモニタを開始・終了します</source>
        <translation>Starts or stops the live monitor</translation>
    </message>
    <message>
        <source>5ms間隔のデータを取得します</source>
        <translation>Captures samples every 5 ms</translation>
    </message>
    <message>
        <source>Zを送り、応答を表示します</source>
        <translation>Sends Z and lists the answer</translation>
    </message>
    <message>
        <source>ロガーの情報を表示します</source>
        <translation>Shows the logger's information</translation>
    </message>
    <message>
        <source>ログを設定ファイルとして保存します</source>
        <translation>Saves the log as a settings file</translation>
    </message>
    <message>
        <source>閾値を送ります</source>
        <translation>Sends the threshold</translation>
    </message>
    <message>
        <source>記録間隔を次の分単位の間隔にします</source>
        <translation>Sets the next interval in minutes</translation>
    </message>
    <message>
        <source>記録を開始します</source>
        <translation>Starts recording</translation>
    </message>
    <message>
        <source>ロガーを待機（スリープ）にします</source>
        <translation>Puts the logger on stand-by (asleep)</translation>
    </message>
    <message>
        <source>時計を合わせて新しい記録を開始します</source>
        <translation>Sets the clock and starts a new recording</translation>
    </message>
    <message>
        <source>時計を合わせ、12秒後に m を送ります</source>
        <translation>Sets the clock, then sends m after 12 seconds</translation>
    </message>
    <message>
        <source>ロガーの時刻と予約を表示します</source>
        <translation>Shows the logger's time and reservation</translation>
    </message>
    <message>
        <source>現在の測定値を読みます</source>
        <translation>Reads the present values</translation>
    </message>
    <message>
        <source>Eを1文字で送ります</source>
        <translation>Sends E as a single character</translation>
    </message>
    <message>
        <source>vpを送ります</source>
        <translation>Sends vp</translation>
    </message>
    <message>
        <source>N01を送り、次のティックで設定を読み出します</source>
        <translation>Sends N01, then reads the settings at the next tick</translation>
    </message>
    <message>
        <source>エンドレス記録を切り替えます</source>
        <translation>Switches endless recording</translation>
    </message>
    <message>
        <source>100Hzを切り替えます</source>
        <translation>Switches 100 Hz</translation>
    </message>
    <message>
        <source>DFの値を送ります</source>
        <translation>Sends the DF value</translation>
    </message>
    <message>
        <source>Lの値を送ります</source>
        <translation>Sends the L value</translation>
    </message>
    <message>
        <source>Recの値を送ります</source>
        <translation>Sends the Rec value</translation>
    </message>
    <message>
        <source>Wを送ります</source>
        <translation>Sends W</translation>
    </message>
    <message>
        <source>調整用: q7を送ります</source>
        <translation>Adjustment: sends q7</translation>
    </message>
    <message>
        <source>調整用: q5を送ります</source>
        <translation>Adjustment: sends q5</translation>
    </message>
    <message>
        <source>調整用: q1を送ります</source>
        <translation>Adjustment: sends q1</translation>
    </message>
    <message>
        <source>b0を送ります</source>
        <translation>Sends b0</translation>
    </message>
    <message>
        <source>b1を送ります</source>
        <translation>Sends b1</translation>
    </message>
    <message>
        <source>BLEを設定します</source>
        <translation>Sets up BLE</translation>
    </message>
    <message>
        <source>BLEをリセットします</source>
        <translation>Resets BLE</translation>
    </message>
    <message>
        <source>X軸の調整値を送ります</source>
        <translation>Sends the X axis adjustment</translation>
    </message>
    <message>
        <source>Y軸の調整値を送ります</source>
        <translation>Sends the Y axis adjustment</translation>
    </message>
    <message>
        <source>Z軸の調整値を送ります</source>
        <translation>Sends the Z axis adjustment</translation>
    </message>
    <message>
        <source>ロガーの識別名を読み出します</source>
        <translation>Reads the logger's identity</translation>
    </message>
    <message>
        <source>ロガーの識別名を書き込みます</source>
        <translation>Writes the logger's identity</translation>
    </message>
    <message>
        <source>接続済みにします（接続済みなら測定値を読みます）</source>
        <translation>Marks the link as up (once up: reads the present values)</translation>
    </message>
    <message>
        <source>ポートを閉じます</source>
        <translation>Closes the ports</translation>
    </message>
    <message>
        <source>デバイスマネージャーを開きます</source>
        <translation>Opens the device manager</translation>
    </message>
    <message>
        <source>ハザードの値を送ります</source>
        <translation>Sends the hazard value</translation>
    </message>
    <message>
        <source>Gravityを切り替えます</source>
        <translation>Switches gravity</translation>
    </message>
    <message>
        <source>表示の値を送ります</source>
        <translation>Sends the display value</translation>
    </message>
    <message>
        <source>#を送ります</source>
        <translation>Sends #</translation>
    </message>
    <message>
        <source>設定欄を表示・非表示にします</source>
        <translation>Shows or hides the settings</translation>
    </message>
    <message>
        <source>IDを設定します</source>
        <translation>Sets the ID</translation>
    </message>
    <message>
        <source>予約日時を問い合わせます</source>
        <translation>Asks the logger for its reserved start</translation>
    </message>
    <message>
        <source>予約時間を設定します</source>
        <translation>Sets the reserved start</translation>
    </message>
    <message>
        <source>ブザーを切り替えます</source>
        <translation>Switches the buzzer</translation>
    </message>
    <message>
        <source>調整用: eを送ります</source>
        <translation>Adjustment: sends e</translation>
    </message>
    <message>
        <source>開始設定を開きます</source>
        <translation>Opens the start settings</translation>
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
    <message>
        <source>バージョン情報</source>
        <translation>About</translation>
    </message>
    <message>
        <source>バージョン %1</source>
        <translation>Version %1</translation>
    </message>
    <message>
        <source>ライセンス: %1</source>
        <translation>Licence: %1</translation>
    </message>
</context>
</TS>
