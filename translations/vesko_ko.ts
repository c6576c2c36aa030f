<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ko_KR">
<context>
    <name>FileActions</name>
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
</context>
<context>
    <name>vesko::IndexStore</name>
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
        <source>Folder</source>
        <translation>폴더</translation>
    </message>
    <message>
        <source>%1 found</source>
        <translation>%1개 찾음</translation>
    </message>
    <message>
        <source>%1 found, showing %2</source>
        <translation>%1개 찾음, %2개 표시</translation>
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
</context>
<context>
    <name>vesko::Localization</name>
    <message>
        <source>System language</source>
        <translation>시스템 언어</translation>
    </message>
</context>
<context>
    <name>vesko::Preferences</name>
    <message numerus="yes">
        <source>%n yr. ago</source>
        <translation>
            <numerusform>%n년 전</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>in %n yr.</source>
        <translation>
            <numerusform>%n년 후</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n mo. ago</source>
        <translation>
            <numerusform>%n개월 전</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>in %n mo.</source>
        <translation>
            <numerusform>%n개월 후</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n wk. ago</source>
        <translation>
            <numerusform>%n주 전</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>in %n wk.</source>
        <translation>
            <numerusform>%n주 후</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n day(s) ago</source>
        <translation>
            <numerusform>%n일 전</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>in %n day(s)</source>
        <translation>
            <numerusform>%n일 후</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n hr. ago</source>
        <translation>
            <numerusform>%n시간 전</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>in %n hr.</source>
        <translation>
            <numerusform>%n시간 후</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n min. ago</source>
        <translation>
            <numerusform>%n분 전</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>in %n min.</source>
        <translation>
            <numerusform>%n분 후</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n sec. ago</source>
        <translation>
            <numerusform>%n초 전</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>in %n sec.</source>
        <translation>
            <numerusform>%n초 후</numerusform>
        </translation>
    </message>
    <message>
        <source>now</source>
        <translation>방금</translation>
    </message>
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
</context>
</TS>
