<?php
// Page footer, included at the end of every page.
/** @var Tarnwick\App $app */
?>
</main>
</div>
<footer class="tw-foot"><?= $app::e($app->config['app']['title']) ?></footer>
</body>
</html>
