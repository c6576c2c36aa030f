<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ko_KR">
<context>
    <name>vesko::ActionNotice</name>
    <message>
        <source>Undo</source>
        <translation>실행 취소</translation>
    </message>
    <message>
        <source>Dismiss</source>
        <translation>닫기</translation>
    </message>
    <message>
        <source>“%1” renamed to “%2”.</source>
        <translation>“%1”의 이름을 “%2”(으)로 바꿨습니다.</translation>
    </message>
    <message>
        <source>“%1” moved from %2 to the Trash.</source>
        <translation>“%1”을(를) %2에서 휴지통으로 옮겼습니다.</translation>
    </message>
    <message>
        <source>%1 items moved to the Trash.</source>
        <translation>항목 %1개를 휴지통으로 옮겼습니다.</translation>
    </message>
</context>
<context>
    <name>vesko::ActionProblemText</name>
    <message>
        <source>A name can&apos;t be empty.</source>
        <translation>이름을 비워 둘 수 없습니다.</translation>
    </message>
    <message>
        <source>A name can&apos;t contain “/”.</source>
        <translation>이름에 “/”를 넣을 수 없습니다.</translation>
    </message>
    <message>
        <source>A name can&apos;t contain a null character.</source>
        <translation>이름에 널(NUL) 문자를 넣을 수 없습니다.</translation>
    </message>
    <message>
        <source>“%1” is reserved and can&apos;t be a name.</source>
        <translation>“%1”은(는) 시스템에서 예약한 이름이라 사용할 수 없습니다.</translation>
    </message>
    <message>
        <source>The name is too long: this folder allows at most %1 bytes.</source>
        <translation>이름이 너무 깁니다. 이 폴더에서는 최대 %1바이트까지 사용할 수 있습니다.</translation>
    </message>
    <message>
        <source>The clipboard is not available.</source>
        <translation>클립보드를 사용할 수 없습니다.</translation>
    </message>
    <message>
        <source>No application could open “%1”.</source>
        <translation>“%1”을(를) 열 수 있는 응용 프로그램이 없습니다.</translation>
    </message>
    <message>
        <source>No file manager could show “%1”.</source>
        <translation>“%1”을(를) 보여 줄 파일 관리자가 없습니다.</translation>
    </message>
    <message>
        <source>“%1” is no longer in the Trash.</source>
        <translation>“%1”이(가) 더 이상 휴지통에 없습니다.</translation>
    </message>
    <message>
        <source>“%1” stays in the Trash: “%2” is in its place now.</source>
        <translation>“%1”은(는) 휴지통에 남습니다: 지금 그 자리에 “%2”이(가) 있습니다.</translation>
    </message>
    <message>
        <source>“%1” could not be put back in “%2”: %3</source>
        <translation>“%1”을(를) “%2”에 되돌려 놓을 수 없습니다: %3</translation>
    </message>
    <message>
        <source>“%1” keeps its name: another item is called “%2” now.</source>
        <translation>“%1”의 이름은 그대로입니다: 지금 다른 항목의 이름이 “%2”입니다.</translation>
    </message>
    <message>
        <source>“%1” could not be renamed back to “%2”: %3</source>
        <translation>“%1”의 이름을 “%2”(으)로 되돌릴 수 없습니다: %3</translation>
    </message>
    <message>
        <source>Not every item could be moved to the Trash (%1 of %2 stayed):</source>
        <translation>일부 항목을 휴지통으로 옮기지 못했습니다(%2개 중 %1개 남음):</translation>
    </message>
    <message>
        <source>…and %1 more</source>
        <translation>…외 %1개</translation>
    </message>
</context>
<context>
    <name>vesko::AppDelegate</name>
    <message>
        <source>The desktop&apos;s session bus does not answer, so the tray icon cannot be shown.</source>
        <translation>데스크톱의 세션 버스가 응답하지 않아 트레이 아이콘을 표시할 수 없습니다.</translation>
    </message>
    <message>
        <source>This desktop has no system tray, so the icon cannot be shown.</source>
        <translation>이 데스크톱에는 시스템 트레이가 없어 아이콘을 표시할 수 없습니다.</translation>
    </message>
    <message>
        <source>Show %1</source>
        <translation>%1 보기</translation>
    </message>
    <message>
        <source>Quit %1</source>
        <translation>%1 종료</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>설정</translation>
    </message>
    <message>
        <source>About %1</source>
        <translation>%1에 관하여</translation>
    </message>
    <message>
        <source>Check for Updates…</source>
        <translation>업데이트 확인…</translation>
    </message>
    <message>
        <source>This is Vesko %1. On Linux, Vesko is updated by your package manager together with the rest of your software.</source>
        <translation>Vesko %1입니다. Linux에서는 패키지 관리자가 다른 소프트웨어와 함께 Vesko를 업데이트합니다.</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>취소</translation>
    </message>
    <message>
        <source>Save Current Search…</source>
        <translation>현재 검색 저장…</translation>
    </message>
    <message>
        <source>Name:</source>
        <translation>이름:</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>저장</translation>
    </message>
    <message>
        <source>Every file and folder name in your home folder and the volumes you add, found as you type.</source>
        <translation>홈 폴더와 추가한 볼륨의 모든 파일·폴더 이름을, 입력하는 즉시 찾아 줍니다.</translation>
    </message>
</context>
<context>
    <name>vesko::AppearancePage</name>
    <message>
        <source>Appearance</source>
        <translation>모양</translation>
    </message>
</context>
<context>
    <name>vesko::ColumnsPage</name>
    <message>
        <source>Columns visible in the results</source>
        <translation>결과에 표시할 열</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>이름</translation>
    </message>
    <message>
        <source>Full Path</source>
        <translation>전체 경로</translation>
    </message>
    <message>
        <source>Kind</source>
        <translation>종류</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>크기</translation>
    </message>
    <message>
        <source>Modified</source>
        <translation>수정일</translation>
    </message>
    <message>
        <source>Created</source>
        <translation>생성일</translation>
    </message>
    <message>
        <source>Last Opened</source>
        <translation>마지막으로 연 날짜</translation>
    </message>
    <message>
        <source>The full path is always shown for the selected item below the list.</source>
        <translation>선택한 항목의 전체 경로는 항상 목록 아래에 표시됩니다.</translation>
    </message>
</context>
<context>
    <name>vesko::DetailBar</name>
    <message>
        <source>Copy</source>
        <translation>복사</translation>
    </message>
    <message>
        <source>Path</source>
        <translation>경로</translation>
    </message>
    <message>
        <source>Copy Path</source>
        <translation>경로 복사</translation>
    </message>
    <message>
        <source>Details</source>
        <translation>세부 정보</translation>
    </message>
    <message>
        <source>Item no longer exists</source>
        <translation>항목이 더 이상 없습니다</translation>
    </message>
    <message>
        <source>Folder</source>
        <translation>폴더</translation>
    </message>
    <message>
        <source>Opens with %1</source>
        <translation>%1(으)로 열기</translation>
    </message>
    <message>
        <source>Copied</source>
        <translation>복사됨</translation>
    </message>
    <message>
        <source>%1 items · %2</source>
        <translation>항목 %1개 · %2</translation>
    </message>
</context>
<context>
    <name>vesko::DisplayText</name>
    <message>
        <source>Full path</source>
        <translation>전체 경로</translation>
    </message>
    <message>
        <source>Breadcrumbs</source>
        <translation>단계별 경로</translation>
    </message>
    <message>
        <source>Shortened</source>
        <translation>줄인 경로</translation>
    </message>
    <message>
        <source>Date only</source>
        <translation>날짜만</translation>
    </message>
    <message>
        <source>Date and time</source>
        <translation>날짜와 시간</translation>
    </message>
    <message>
        <source>Long date</source>
        <translation>긴 날짜</translation>
    </message>
    <message>
        <source>Relative</source>
        <translation>상대 시간</translation>
    </message>
    <message>
        <source>ISO date</source>
        <translation>ISO 날짜</translation>
    </message>
    <message>
        <source>ISO date and time</source>
        <translation>ISO 날짜와 시간</translation>
    </message>
    <message>
        <source>System</source>
        <translation>시스템 설정 따름</translation>
    </message>
    <message>
        <source>Light</source>
        <translation>밝게</translation>
    </message>
    <message>
        <source>Dark</source>
        <translation>어둡게</translation>
    </message>
    <message>
        <source>Link to a missing item</source>
        <translation>대상이 없는 링크</translation>
    </message>
    <message>
        <source>Link to a folder</source>
        <translation>폴더 링크</translation>
    </message>
    <message>
        <source>Link to a file</source>
        <translation>파일 링크</translation>
    </message>
    <message>
        <source>Link to %1</source>
        <translation>%1 링크</translation>
    </message>
    <message>
        <source>Just now</source>
        <translation>방금</translation>
    </message>
    <message numerus="yes">
        <source>%n minute(s) ago</source>
        <translation>
            <numerusform>%n분 전</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n hour(s) ago</source>
        <translation>
            <numerusform>%n시간 전</numerusform>
        </translation>
    </message>
    <message>
        <source>Yesterday %1</source>
        <translation>어제 %1</translation>
    </message>
</context>
<context>
    <name>vesko::ExclusionsView</name>
    <message>
        <source>Exclude a Folder…</source>
        <translation>폴더 제외…</translation>
    </message>
    <message>
        <source>Exclude</source>
        <translation>제외</translation>
    </message>
    <message>
        <source>None</source>
        <translation>없음</translation>
    </message>
    <message>
        <source>Excluded Folders</source>
        <translation>제외된 폴더</translation>
    </message>
    <message>
        <source>Excluded folders are skipped entirely, including everything inside.</source>
        <translation>제외된 폴더는 그 안의 모든 항목을 포함해 완전히 건너뜁니다.</translation>
    </message>
    <message>
        <source>Add a Folder…</source>
        <translation>폴더 추가…</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>추가</translation>
    </message>
    <message>
        <source>Added Folders</source>
        <translation>추가한 폴더</translation>
    </message>
    <message>
        <source>Added folders are indexed besides your home folder, with everything inside.</source>
        <translation>추가한 폴더는 홈 폴더와 함께 안에 있는 모든 항목까지 색인됩니다.</translation>
    </message>
    <message>
        <source>Always left out:</source>
        <translation>항상 제외됨:</translation>
    </message>
</context>
<context>
    <name>vesko::GeneralPage</name>
    <message>
        <source>Searching</source>
        <translation>검색</translation>
    </message>
    <message>
        <source>Search as you type</source>
        <translation>입력하는 대로 검색</translation>
    </message>
    <message>
        <source>Off: press Return to search.</source>
        <translation>끔: Return 키를 눌러 검색합니다.</translation>
    </message>
    <message>
        <source>Shortcut</source>
        <translation>단축키</translation>
    </message>
    <message>
        <source>Vesko keeps running, so the index stays in memory.</source>
        <translation>Vesko는 계속 실행되므로 색인이 메모리에 유지됩니다.</translation>
    </message>
    <message>
        <source>Open at Login</source>
        <translation>로그인 시 열기</translation>
    </message>
    <message>
        <source>Vesko keeps the index in memory, so it only helps if it&apos;s already running.</source>
        <translation>Vesko는 색인을 메모리에 두므로 이미 실행 중일 때만 도움이 됩니다.</translation>
    </message>
    <message>
        <source>Show icon in the system tray</source>
        <translation>시스템 트레이에 아이콘 표시</translation>
    </message>
    <message>
        <source>Hide from the taskbar when closed</source>
        <translation>닫으면 작업 표시줄에서 숨기기</translation>
    </message>
    <message>
        <source>Comes back with the shortcut or the tray icon. Quit with Ctrl+Q.</source>
        <translation>단축키나 트레이 아이콘으로 다시 나타납니다. Ctrl+Q로 종료합니다.</translation>
    </message>
    <message>
        <source>Unavailable: the autostart folder cannot be written.</source>
        <translation>사용할 수 없음: 자동 시작 폴더에 쓸 수 없습니다.</translation>
    </message>
</context>
<context>
    <name>vesko::HotKey</name>
    <message>
        <source>%1 is already in use by another app.</source>
        <translation>%1 키는 다른 앱에서 이미 사용 중입니다.</translation>
    </message>
    <message>
        <source>%1 cannot be typed on this keyboard.</source>
        <translation>%1 키는 이 키보드로 입력할 수 없습니다.</translation>
    </message>
    <message>
        <source>Show or hide the Vesko window</source>
        <translation>Vesko 창 보이기 또는 가리기</translation>
    </message>
    <message>
        <source>The desktop does not offer global shortcuts to applications. Bind “vesko” to %1 in your desktop&apos;s keyboard settings: it shows the running window.</source>
        <translation>이 데스크톱은 앱에 전역 단축키를 제공하지 않습니다. 데스크톱의 키보드 설정에서 %1 키에 “vesko”를 지정하세요. 실행 중인 창을 보여 줍니다.</translation>
    </message>
</context>
<context>
    <name>vesko::HotKeyRecorder</name>
    <message>
        <source>Default</source>
        <translation>기본값</translation>
    </message>
    <message>
        <source>Shortcut</source>
        <translation>단축키</translation>
    </message>
    <message>
        <source>Hold Ctrl, Alt, Shift or Super as well.</source>
        <translation>Ctrl, Alt, Shift 또는 Super 키도 함께 누르세요.</translation>
    </message>
    <message>
        <source>Press keys…</source>
        <translation>키를 누르세요…</translation>
    </message>
</context>
<context>
    <name>vesko::IndexPage</name>
    <message>
        <source>Folders listed here are left out of the index.</source>
        <translation>여기에 나열된 폴더는 색인에서 빠집니다.</translation>
    </message>
    <message>
        <source>The index is always on and follows the filesystem. Nothing to schedule.</source>
        <translation>색인은 항상 켜져 있고 파일 시스템을 따라갑니다. 예약할 것이 없습니다.</translation>
    </message>
</context>
<context>
    <name>vesko::KRunnerProvider</name>
    <message>
        <source>Show in File Manager</source>
        <translation>파일 관리자에서 보기</translation>
    </message>
</context>
<context>
    <name>vesko::LocalePage</name>
    <message>
        <source>Language</source>
        <translation>언어</translation>
    </message>
    <message>
        <source>Date format</source>
        <translation>날짜 형식</translation>
    </message>
    <message>
        <source>Dates in a result list are scanned, not read. Pick what you skim fastest.</source>
        <translation>결과 목록의 날짜는 읽기보다 훑어봅니다. 가장 빨리 훑어볼 수 있는 형식을 고르세요.</translation>
    </message>
    <message>
        <source>Path bar</source>
        <translation>경로 표시줄</translation>
    </message>
    <message>
        <source>Copying always puts the real path on the clipboard.</source>
        <translation>복사하면 항상 실제 경로가 클립보드에 들어갑니다.</translation>
    </message>
    <message>
        <source>System language</source>
        <translation>시스템 언어</translation>
    </message>
</context>
<context>
    <name>vesko::LocationsView</name>
    <message>
        <source>Home Folder</source>
        <translation>홈 폴더</translation>
    </message>
    <message>
        <source>Network volume - slow to index, no live updates</source>
        <translation>네트워크 볼륨 - 색인이 느리고 실시간 업데이트가 없습니다</translation>
    </message>
    <message>
        <source>Not mounted</source>
        <translation>마운트되지 않음</translation>
    </message>
    <message>
        <source>Rescan</source>
        <translation>다시 스캔</translation>
    </message>
</context>
<context>
    <name>vesko::MainMenu</name>
    <message>
        <source>File</source>
        <translation>파일</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>편집</translation>
    </message>
    <message>
        <source>View</source>
        <translation>보기</translation>
    </message>
    <message>
        <source>Searches</source>
        <translation>검색</translation>
    </message>
    <message>
        <source>Window</source>
        <translation>윈도우</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>도움말</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>닫기</translation>
    </message>
    <message>
        <source>Quit %1</source>
        <translation>%1 종료</translation>
    </message>
    <message>
        <source>Settings…</source>
        <translation>설정…</translation>
    </message>
    <message>
        <source>Excluded Folders…</source>
        <translation>제외된 폴더…</translation>
    </message>
    <message>
        <source>Full Path</source>
        <translation>전체 경로</translation>
    </message>
    <message>
        <source>Kind</source>
        <translation>종류</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>크기</translation>
    </message>
    <message>
        <source>Modified</source>
        <translation>수정일</translation>
    </message>
    <message>
        <source>Show Sidebar</source>
        <translation>사이드바 보기</translation>
    </message>
    <message>
        <source>Sort by Relevance</source>
        <translation>관련도순 정렬</translation>
    </message>
    <message>
        <source>Sort by Name</source>
        <translation>이름순 정렬</translation>
    </message>
    <message>
        <source>Sort by Path</source>
        <translation>경로순 정렬</translation>
    </message>
    <message>
        <source>Sort by Size</source>
        <translation>크기순 정렬</translation>
    </message>
    <message>
        <source>Sort by Modified</source>
        <translation>수정일순 정렬</translation>
    </message>
    <message>
        <source>Move Focus to Results</source>
        <translation>결과로 초점 이동</translation>
    </message>
    <message>
        <source>Move Focus to Search Field</source>
        <translation>검색 필드로 초점 이동</translation>
    </message>
    <message>
        <source>Save Current Search…</source>
        <translation>현재 검색 저장…</translation>
    </message>
    <message>
        <source>Minimize</source>
        <translation>최소화</translation>
    </message>
    <message>
        <source>Zoom</source>
        <translation>확대/축소</translation>
    </message>
    <message>
        <source>Rescan</source>
        <translation>다시 스캔</translation>
    </message>
    <message>
        <source>About %1</source>
        <translation>%1에 관하여</translation>
    </message>
    <message>
        <source>Check for Updates…</source>
        <translation>업데이트 확인…</translation>
    </message>
    <message>
        <source>Relative Dates</source>
        <translation>상대 날짜</translation>
    </message>
    <message>
        <source>Thumbnails</source>
        <translation>썸네일</translation>
    </message>
</context>
<context>
    <name>vesko::MainView</name>
    <message>
        <source>Search</source>
        <translation>검색</translation>
    </message>
    <message>
        <source>Filters</source>
        <translation>필터</translation>
    </message>
    <message>
        <source>Could not complete that</source>
        <translation>작업을 완료할 수 없습니다</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>확인</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>열기</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>취소</translation>
    </message>
    <message>
        <source>Open %1 items?</source>
        <translation>항목 %1개를 열까요?</translation>
    </message>
    <message>
        <source>Each one opens in its default application.</source>
        <translation>각 항목이 기본 응용 프로그램으로 열립니다.</translation>
    </message>
</context>
<context>
    <name>vesko::PreviewWindow</name>
    <message>
        <source>Preview</source>
        <translation>미리보기</translation>
    </message>
    <message>
        <source>Image</source>
        <translation>이미지</translation>
    </message>
    <message>
        <source>Text</source>
        <translation>텍스트</translation>
    </message>
    <message>
        <source>Only the first 256 KiB is shown.</source>
        <translation>처음 256KiB만 표시됩니다.</translation>
    </message>
    <message>
        <source>Icon</source>
        <translation>아이콘</translation>
    </message>
    <message>
        <source>Item no longer exists</source>
        <translation>항목이 더 이상 존재하지 않습니다</translation>
    </message>
    <message>
        <source>Folder</source>
        <translation>폴더</translation>
    </message>
    <message>
        <source>1 item</source>
        <translation>항목 1개</translation>
    </message>
    <message>
        <source>%1 items</source>
        <translation>항목 %1개</translation>
    </message>
</context>
<context>
    <name>vesko::ProblemNotice</name>
    <message>
        <source>The settings file %1 could not be read completely; its unreadable lines are kept in a copy beside it.</source>
        <translation>설정 파일 %1을(를) 다 읽지 못했습니다. 읽지 못한 줄은 옆의 사본에 남겨 두었습니다.</translation>
    </message>
    <message>
        <source>The settings could not be saved to %1; check that its folder exists and is writable.</source>
        <translation>설정을 %1에 저장하지 못했습니다. 폴더가 있고 쓸 수 있는지 확인하세요.</translation>
    </message>
    <message>
        <source>The index could not be built: %1</source>
        <translation>색인을 만들지 못했습니다: %1</translation>
    </message>
    <message>
        <source>A change on disk could not be taken into the index: %1</source>
        <translation>디스크의 변경을 색인에 반영하지 못했습니다: %1</translation>
    </message>
    <message>
        <source>A folder is where the index file belongs (%1), so the index is saved beside it.</source>
        <translation>색인 파일 자리(%1)에 폴더가 있어 색인을 그 옆에 저장합니다.</translation>
    </message>
    <message>
        <source>Dismiss</source>
        <translation>닫기</translation>
    </message>
</context>
<context>
    <name>vesko::RenameDialog</name>
    <message>
        <source>Rename</source>
        <translation>이름 변경</translation>
    </message>
    <message>
        <source>New name for “%1” in %2:</source>
        <translation>%2에 있는 “%1”의 새 이름:</translation>
    </message>
    <message>
        <source>New name</source>
        <translation>새 이름</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>취소</translation>
    </message>
    <message>
        <source>Could not rename “%1” to “%2”: %3</source>
        <translation>“%1”의 이름을 “%2”(으)로 바꿀 수 없습니다: %3</translation>
    </message>
</context>
<context>
    <name>vesko::ResultActions</name>
    <message>
        <source>Export Results…</source>
        <translation>결과 내보내기…</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>열기</translation>
    </message>
    <message>
        <source>Preview</source>
        <translation>미리 보기</translation>
    </message>
    <message>
        <source>Show in File Manager</source>
        <translation>파일 관리자에서 보기</translation>
    </message>
    <message>
        <source>Copy Path</source>
        <translation>경로 복사</translation>
    </message>
    <message>
        <source>Copy Name</source>
        <translation>이름 복사</translation>
    </message>
    <message>
        <source>Rename…</source>
        <translation>이름 변경…</translation>
    </message>
    <message>
        <source>Move to Trash</source>
        <translation>휴지통으로 이동</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>실행 취소</translation>
    </message>
    <message>
        <source>Redo</source>
        <translation>다시 실행</translation>
    </message>
    <message>
        <source>Cut</source>
        <translation>오려두기</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>복사하기</translation>
    </message>
    <message>
        <source>Paste</source>
        <translation>붙여넣기</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>모두 선택</translation>
    </message>
</context>
<context>
    <name>vesko::ResultModel</name>
    <message>
        <source>Folder</source>
        <translation>폴더</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>이름</translation>
    </message>
    <message>
        <source>Kind</source>
        <translation>종류</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>크기</translation>
    </message>
    <message>
        <source>Modified</source>
        <translation>수정일</translation>
    </message>
    <message>
        <source>Created</source>
        <translation>생성일</translation>
    </message>
    <message>
        <source>Last Opened</source>
        <translation>마지막으로 연 날짜</translation>
    </message>
    <message>
        <source>Full Path</source>
        <translation>전체 경로</translation>
    </message>
</context>
<context>
    <name>vesko::ResultTable</name>
    <message>
        <source>Results</source>
        <translation>결과</translation>
    </message>
    <message>
        <source>Result actions</source>
        <translation>결과 작업</translation>
    </message>
</context>
<context>
    <name>vesko::ResultsPage</name>
    <message>
        <source>Results</source>
        <translation>결과</translation>
    </message>
    <message>
        <source>Show folders first</source>
        <translation>폴더를 먼저 표시</translation>
    </message>
    <message>
        <source>Hide window after opening</source>
        <translation>연 다음 창 숨기기</translation>
    </message>
    <message>
        <source>Text size</source>
        <translation>글자 크기</translation>
    </message>
    <message>
        <source>Small</source>
        <translation>작게</translation>
    </message>
    <message>
        <source>Medium</source>
        <translation>보통</translation>
    </message>
    <message>
        <source>Large</source>
        <translation>크게</translation>
    </message>
    <message>
        <source>Rows at a time</source>
        <translation>한 번에 표시할 행</translation>
    </message>
    <message>
        <source>Match Korean initial consonants (ㅂㄱㅅ finds 보고서)</source>
        <translation>한글 초성으로 찾기 (ㅂㄱㅅ → 보고서)</translation>
    </message>
</context>
<context>
    <name>vesko::RowList</name>
    <message>
        <source>Remove</source>
        <translation>제거</translation>
    </message>
    <message>
        <source>Remove %1</source>
        <translation>%1 제거</translation>
    </message>
</context>
<context>
    <name>vesko::SandboxNotice</name>
    <message>
        <source>Which ones?</source>
        <translation>어떤 폴더인가요?</translation>
    </message>
    <message>
        <source>Some folders in your home folder can&apos;t be read.</source>
        <translation>홈 폴더의 일부 폴더를 읽을 수 없습니다.</translation>
    </message>
    <message>
        <source>Check Again</source>
        <translation>다시 확인</translation>
    </message>
    <message>
        <source>Dismiss</source>
        <translation>닫기</translation>
    </message>
    <message>
        <source>Vesko runs in a sandbox that cannot read your home folder.</source>
        <translation>Vesko가 홈 폴더를 읽을 수 없는 샌드박스에서 실행 중입니다.</translation>
    </message>
    <message>
        <source>Grant it access to your home folder (Flatpak: flatpak override --user --filesystem=home app.vesko.Vesko), then Check Again.</source>
        <translation>홈 폴더 접근 권한을 준 다음(Flatpak: flatpak override --user --filesystem=home app.vesko.Vesko) 다시 확인을 누르세요.</translation>
    </message>
</context>
<context>
    <name>vesko::SavedSearchesView</name>
    <message>
        <source>Save Current Search…</source>
        <translation>현재 검색 저장…</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>이름</translation>
    </message>
</context>
<context>
    <name>vesko::ScopeChip</name>
    <message>
        <source>In:</source>
        <translation>위치:</translation>
    </message>
    <message numerus="yes">
        <source>Reading the folder… %Ln folder(s)</source>
        <translation>
            <numerusform>폴더를 읽는 중… 폴더 %Ln개</numerusform>
        </translation>
    </message>
    <message>
        <source>This folder cannot be read</source>
        <translation>이 폴더를 읽을 수 없습니다</translation>
    </message>
    <message>
        <source>Not in the indexed folders</source>
        <translation>색인된 폴더에 없음</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>취소</translation>
    </message>
    <message>
        <source>Add to Indexed Folders</source>
        <translation>색인할 폴더에 추가</translation>
    </message>
    <message>
        <source>Search Everywhere</source>
        <translation>모든 곳에서 검색</translation>
    </message>
    <message>
        <source>Search Everywhere (Backspace in the empty search field)</source>
        <translation>모든 곳에서 검색 (빈 검색창에서 Backspace)</translation>
    </message>
    <message>
        <source>Searching in %1</source>
        <translation>%1에서 검색 중</translation>
    </message>
</context>
<context>
    <name>vesko::SearchBar</name>
    <message>
        <source>Search</source>
        <translation>검색</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>지우기</translation>
    </message>
    <message>
        <source>Clear search</source>
        <translation>검색어 지우기</translation>
    </message>
    <message>
        <source>Filters</source>
        <translation>필터</translation>
    </message>
    <message>
        <source>Shown</source>
        <translation>표시됨</translation>
    </message>
    <message>
        <source>Hidden</source>
        <translation>숨겨짐</translation>
    </message>
    <message>
        <source>Recent Searches</source>
        <translation>최근 검색</translation>
    </message>
    <message>
        <source>No Recent Searches</source>
        <translation>최근 검색 없음</translation>
    </message>
    <message>
        <source>Keep Search History</source>
        <translation>검색 기록 보관</translation>
    </message>
    <message>
        <source>Clear History</source>
        <translation>기록 지우기</translation>
    </message>
    <message>
        <source>Also remembers which files you open, to put them first by relevance</source>
        <translation>열었던 파일을 기억해 관련도 순서에서 앞에 둡니다</translation>
    </message>
    <message>
        <source>Also forgets which files you opened</source>
        <translation>열었던 파일 기록도 함께 지웁니다</translation>
    </message>
</context>
<context>
    <name>vesko::SettingsWindow</name>
    <message>
        <source>Settings</source>
        <translation>설정</translation>
    </message>
    <message>
        <source>General</source>
        <translation>일반</translation>
    </message>
    <message>
        <source>Results</source>
        <translation>결과</translation>
    </message>
    <message>
        <source>Columns</source>
        <translation>열</translation>
    </message>
    <message>
        <source>Language &amp; Region</source>
        <translation>언어 및 지역</translation>
    </message>
    <message>
        <source>Appearance</source>
        <translation>모양</translation>
    </message>
    <message>
        <source>Index</source>
        <translation>색인</translation>
    </message>
    <message>
        <source>Settings sections</source>
        <translation>설정 항목</translation>
    </message>
</context>
<context>
    <name>vesko::SidebarView</name>
    <message>
        <source>Today</source>
        <translation>오늘</translation>
    </message>
    <message>
        <source>KB</source>
        <translation>KB</translation>
    </message>
    <message>
        <source>MB</source>
        <translation>MB</translation>
    </message>
    <message>
        <source>GB</source>
        <translation>GB</translation>
    </message>
    <message>
        <source>Modified</source>
        <translation>수정일</translation>
    </message>
    <message>
        <source>Created</source>
        <translation>생성일</translation>
    </message>
    <message>
        <source>Last Opened</source>
        <translation>마지막으로 연 날짜</translation>
    </message>
    <message>
        <source>Files</source>
        <translation>파일</translation>
    </message>
    <message>
        <source>Folders</source>
        <translation>폴더</translation>
    </message>
    <message>
        <source>No hidden</source>
        <translation>숨김 제외</translation>
    </message>
    <message>
        <source>No packages</source>
        <translation>패키지 제외</translation>
    </message>
    <message>
        <source>Path</source>
        <translation>경로</translation>
    </message>
    <message>
        <source>Regex</source>
        <translation>정규식</translation>
    </message>
    <message>
        <source>Saved</source>
        <translation>저장됨</translation>
    </message>
    <message>
        <source>Location</source>
        <translation>위치</translation>
    </message>
    <message>
        <source>Search Filters</source>
        <translation>검색 필터</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>지우기</translation>
    </message>
    <message>
        <source>Narrows the results. Excluding folders from the index is in Settings.</source>
        <translation>결과를 좁힙니다. 색인에서 폴더를 제외하려면 설정을 사용하세요.</translation>
    </message>
    <message>
        <source>Files &amp; Folders</source>
        <translation>파일 및 폴더</translation>
    </message>
    <message>
        <source>Only Files</source>
        <translation>파일만</translation>
    </message>
    <message>
        <source>Only Folders</source>
        <translation>폴더만</translation>
    </message>
    <message>
        <source>Search for</source>
        <translation>검색 대상</translation>
    </message>
    <message>
        <source>Include</source>
        <translation>포함</translation>
    </message>
    <message>
        <source>Match Path</source>
        <translation>경로 일치</translation>
    </message>
    <message>
        <source>Syntax</source>
        <translation>구문</translation>
    </message>
    <message>
        <source>Regular Expression</source>
        <translation>정규 표현식</translation>
    </message>
    <message>
        <source>Match Case</source>
        <translation>대소문자 구분</translation>
    </message>
    <message>
        <source>POSIX extended. Use [[:digit:]], not \d.</source>
        <translation>POSIX 확장. \d 대신 [[:digit:]]를 사용하세요.</translation>
    </message>
    <message>
        <source>Slower - every name is tested.</source>
        <translation>느림 - 모든 이름을 검사합니다.</translation>
    </message>
    <message>
        <source>Space = and,  | = or,  ! = not,  &lt;&gt; = group</source>
        <translation>공백 = 그리고,  | = 또는,  ! = 제외,  &lt;&gt; = 묶음</translation>
    </message>
    <message>
        <source>Extension</source>
        <translation>확장자</translation>
    </message>
    <message>
        <source>e.g. pdf, jpg, docx</source>
        <translation>예: pdf, jpg, docx</translation>
    </message>
    <message>
        <source>Contains text</source>
        <translation>포함된 텍스트</translation>
    </message>
    <message>
        <source>Search file contents</source>
        <translation>파일 내용 검색</translation>
    </message>
    <message>
        <source>Slow - narrow by name first</source>
        <translation>느림 - 먼저 이름으로 좁히세요</translation>
    </message>
    <message>
        <source>Opens each matching file. Binary files are skipped.</source>
        <translation>일치하는 파일을 하나씩 엽니다. 바이너리 파일은 건너뜁니다.</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>크기</translation>
    </message>
    <message>
        <source>Larger than</source>
        <translation>다음보다 큼</translation>
    </message>
    <message>
        <source>Smaller than</source>
        <translation>다음보다 작음</translation>
    </message>
    <message>
        <source>Which date</source>
        <translation>날짜 기준</translation>
    </message>
    <message>
        <source>Any Time</source>
        <translation>전체 기간</translation>
    </message>
    <message>
        <source>Last 7 Days</source>
        <translation>최근 7일</translation>
    </message>
    <message>
        <source>Last 30 Days</source>
        <translation>최근 30일</translation>
    </message>
    <message>
        <source>Last Year</source>
        <translation>최근 1년</translation>
    </message>
    <message>
        <source>Date range</source>
        <translation>기간</translation>
    </message>
    <message>
        <source>%1 active</source>
        <translation>%1개 적용 중</translation>
    </message>
    <message>
        <source>Kind</source>
        <translation>종류</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>이름</translation>
    </message>
    <message>
        <source>Contents</source>
        <translation>내용</translation>
    </message>
    <message>
        <source>Size &amp; Date</source>
        <translation>크기 및 날짜</translation>
    </message>
    <message>
        <source>File extensions</source>
        <translation>파일 확장자</translation>
    </message>
    <message>
        <source>%1 unit</source>
        <translation>%1 단위</translation>
    </message>
    <message>
        <source>Hidden files and folders</source>
        <translation>숨김 파일 및 폴더</translation>
    </message>
    <message>
        <source>Contents of .app bundles</source>
        <translation>.app 번들 내용</translation>
    </message>
    <message>
        <source>Match Diacritics</source>
        <translation>발음 구별 기호 구분</translation>
    </message>
    <message>
        <source>This Week</source>
        <translation>이번 주</translation>
    </message>
    <message>
        <source>This Month</source>
        <translation>이번 달</translation>
    </message>
    <message>
        <source>This Year</source>
        <translation>올해</translation>
    </message>
    <message>
        <source>Documents</source>
        <translation>문서</translation>
    </message>
    <message>
        <source>Images</source>
        <translation>이미지</translation>
    </message>
    <message>
        <source>Audio</source>
        <translation>오디오</translation>
    </message>
    <message>
        <source>Video</source>
        <translation>동영상</translation>
    </message>
    <message>
        <source>Archives</source>
        <translation>압축 파일</translation>
    </message>
    <message>
        <source>Code</source>
        <translation>코드</translation>
    </message>
    <message>
        <source>Quick filters</source>
        <translation>빠른 필터</translation>
    </message>
    <message>
        <source>Any Type</source>
        <translation>모든 유형</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>유형</translation>
    </message>
</context>
<context>
    <name>vesko::StatePage</name>
    <message>
        <source>Clear</source>
        <translation>지우기</translation>
    </message>
    <message>
        <source>Clear filters</source>
        <translation>필터 지우기</translation>
    </message>
    <message>
        <source>Building index…</source>
        <translation>색인을 만드는 중…</translation>
    </message>
    <message>
        <source>First run only</source>
        <translation>처음 실행할 때만</translation>
    </message>
    <message>
        <source>Type to search</source>
        <translation>입력하여 검색</translation>
    </message>
    <message>
        <source>Substring match. No wildcards or regular expressions.</source>
        <translation>부분 문자열 일치. 와일드카드나 정규 표현식은 쓰지 않습니다.</translation>
    </message>
    <message>
        <source>Reading files…</source>
        <translation>파일을 읽는 중…</translation>
    </message>
    <message>
        <source>Narrow by name to make this fast</source>
        <translation>이름으로 범위를 좁히면 빨라집니다</translation>
    </message>
    <message>
        <source>Invalid regular expression</source>
        <translation>잘못된 정규 표현식</translation>
    </message>
    <message>
        <source>Press Return to search</source>
        <translation>검색하려면 Return 키를 누르세요</translation>
    </message>
    <message>
        <source>Or turn on “Search as you type” in Settings.</source>
        <translation>또는 설정에서 “입력하는 동안 검색”을 켜세요.</translation>
    </message>
    <message>
        <source>No results</source>
        <translation>결과 없음</translation>
    </message>
    <message>
        <source>%1 filters are hiding results</source>
        <translation>필터 %1개가 결과를 숨기고 있습니다</translation>
    </message>
</context>
<context>
    <name>vesko::StatusBar</name>
    <message>
        <source>Path copied</source>
        <translation>경로를 복사했습니다</translation>
    </message>
    <message>
        <source>Showing results for “%1”</source>
        <translation>“%1”의 결과를 표시하는 중</translation>
    </message>
    <message>
        <source>Back to Search</source>
        <translation>검색으로 돌아가기</translation>
    </message>
    <message>
        <source>Update</source>
        <translation>업데이트</translation>
    </message>
    <message>
        <source>Browse Results</source>
        <translation>결과 둘러보기</translation>
    </message>
    <message>
        <source>Show Window</source>
        <translation>창 보이기</translation>
    </message>
    <message>
        <source>Rescanning…</source>
        <translation>다시 스캔하는 중…</translation>
    </message>
    <message>
        <source>Building index…</source>
        <translation>색인을 만드는 중…</translation>
    </message>
    <message>
        <source>The index could not be built: %1</source>
        <translation>색인을 만들지 못했습니다: %1</translation>
    </message>
    <message>
        <source>%1 items</source>
        <translation>항목 %1개</translation>
    </message>
    <message>
        <source>%1 items · %2</source>
        <translation>항목 %1개 · %2</translation>
    </message>
    <message>
        <source>No results for “%1”. Showing 1 near match</source>
        <translation>“%1”에 대한 결과가 없습니다. 비슷한 이름 1개를 표시합니다</translation>
    </message>
    <message>
        <source>No results for “%1”. Showing %2 near matches</source>
        <translation>“%1”에 대한 결과가 없습니다. 비슷한 이름 %2개를 표시합니다</translation>
    </message>
    <message>
        <source>%1 found</source>
        <translation>%1개 찾음</translation>
    </message>
    <message>
        <source>read %1 files</source>
        <translation>파일 %1개 읽음</translation>
    </message>
    <message>
        <source>%1 binary skipped</source>
        <translation>바이너리 파일 %1개 건너뜀</translation>
    </message>
    <message>
        <source>%1 too large - only the first 32MB was read</source>
        <translation>%1개는 너무 커서 앞의 32MB만 읽음</translation>
    </message>
    <message>
        <source>stopped early - narrow the name first</source>
        <translation>도중에 멈춤 - 먼저 이름으로 범위를 좁히세요</translation>
    </message>
    <message>
        <source>Still indexing: %1</source>
        <translation>아직 색인하는 중: %1개</translation>
    </message>
    <message>
        <source>Still indexing: %1 of about %2</source>
        <translation>아직 색인하는 중: 약 %2개 중 %1개</translation>
    </message>
</context>
<context>
    <name>vesko::WatchNotice</name>
    <message>
        <source>Copy Command</source>
        <translation>명령 복사</translation>
    </message>
    <message>
        <source>%1 folders are not watched for changes: the system&apos;s limit on watched folders is reached. Changes there appear only when they are re-checked.</source>
        <translation>폴더 %1개의 변경 사항을 감시하지 못합니다. 시스템의 감시 폴더 수 한도에 도달했습니다. 그 폴더의 변경 사항은 다시 확인할 때에만 나타납니다.</translation>
    </message>
    <message>
        <source>Too many changes at once: re-checking the indexed folders…</source>
        <translation>한꺼번에 너무 많이 바뀌었습니다. 색인한 폴더를 다시 확인하는 중…</translation>
    </message>
    <message>
        <source>No longer found: %1</source>
        <translation>더 이상 찾을 수 없음: %1</translation>
    </message>
    <message>
        <source>To raise the limit: %1
To keep it after a restart, add the line %2 to a file in /etc/sysctl.d/</source>
        <translation>한도를 올리려면: %1
다시 시작한 뒤에도 유지하려면 /etc/sysctl.d/ 안의 파일에 %2 줄을 추가하세요</translation>
    </message>
    <message>
        <source>Cannot read %1: %2</source>
        <translation>%1을(를) 읽을 수 없습니다: %2</translation>
    </message>
</context>
</TS>
